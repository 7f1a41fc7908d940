// The SWF item family: every structure the program parses or builds reads
// itself from a tSWFStream, writes itself back, clones itself and says whether
// it is empty. Containers own their sub-items.
#pragma once

#include <cstdint>
#include <memory>

#include "D_Storages.h"
#include "F_Debugger.h"

class tSWFObject : public tObject {
 public:
  tSWFObject(int32_t Context, uint8_t ItemStyle);
  ~tSWFObject() override = default;
  tSWFObject(const tSWFObject&) = delete;
  tSWFObject& operator=(const tSWFObject&) = delete;

  virtual int32_t GetContext() const { return FContext; }
  virtual uint8_t GetItemStyle() const { return FItemStyle; }
  virtual void SetItemStyle(uint8_t Value);

  virtual bool Read(tSWFStream& Stream) = 0;
  virtual bool Write(tSWFStream& Stream) = 0;

  // Replaces Target by a new object of this item's own class, made with
  // Context and ItemStyle, and copies this item's state into it. Nothing
  // happens when Target already holds this very object.
  void CloneInto(int32_t Context, uint8_t ItemStyle, std::unique_ptr<tSWFObject>& Target) const;

  // The class's own constructor, reachable from any item.
  virtual std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const = 0;

 protected:
  // Each subclass copies its own state after calling the inherited CopyInto.
  virtual void CopyInto(tSWFObject& Target) const;

 private:
  int32_t FContext;
  uint8_t FItemStyle;
};

class tSWFItem : public tSWFObject {
 public:
  using tSWFObject::tSWFObject;
  const char* ClassName() const override { return "tSWFItem"; }
  bool Read(tSWFStream& Stream) override { return Stream.IsOk(); }
  bool Write(tSWFStream& Stream) override { return Stream.IsOk(); }
  virtual bool IsEmpty() const { return false; }
  virtual void Clear() {}
};

class tTag : public tSWFItem {
 public:
  using tSWFItem::tSWFItem;
  const char* ClassName() const override { return "tTag"; }
  uint16_t GetTagCode() const { return FTagCode; }
  void SetTagCode(uint16_t Value) { FTagCode = Value; }
  bool GetLongHeader() const { return FLongHeader; }
  void SetLongHeader(bool Value) { FLongHeader = Value; }
  bool IsEmpty() const override { return FTagCode == 0; }
  void Clear() override { FTagCode = 0; }

 protected:
  void CopyInto(tSWFObject& Target) const override;

 private:
  uint16_t FTagCode = 0;
  bool FLongHeader = false;
};

// CloneInto for a typed owner reference (a container's sub-item): the new
// object is of Source's own class, so the cast back to T is safe.
template <class T>
void CloneItemInto(const T& Source, int32_t Context, uint8_t ItemStyle,
                   std::unique_ptr<T>& Target) {
  std::unique_ptr<tSWFObject> Held(Target.release());
  Source.CloneInto(Context, ItemStyle, Held);
  Target.reset(static_cast<T*>(Held.release()));
}

// Destroys the item the reference holds, if any, and sets it to none.
template <class T>
void ReleaseItem(std::unique_ptr<T>& Item) {
  Item.reset();
}
