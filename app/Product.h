// Facts about the distribution shown by the About and help-error boxes: one
// place for the maker's addresses and the texts that are not translated.
#pragma once

#include "platform/Version.h"

namespace Product {
constexpr const char* Name = "Quillory";
constexpr const char* Build = "Build " QUILLORY_VERSION;
constexpr const char* RightsNotice = "\u00A9 The Quillory developers. All rights reserved.";
constexpr const char* WebAddress = "https://quillory.example.org/";
constexpr const char* SupportMail = "support@quillory.example.org";
// The mail the About box starts: "mailto:" + SupportMail + "?subject=" + Name.
constexpr const char* SupportSubject = "Quillory";
// Where to get a PDF reader, shown as a bare host name; a click opens
// "https://" + ReaderVendorHost.
constexpr const char* ReaderVendorHost = "get.adobe.com/reader";
}  // namespace Product
