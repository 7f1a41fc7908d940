// The QApplication a widget test executable needs, made before the first
// test and destroyed after the last. Include it in a source file of
// the executable; including it in more is harmless (one registration).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace quillory_test {

class TQtAppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int Argc = 1;
    static char Name[] = "quillory-test";
    static char* Argv[] = {Name, nullptr};
    App = std::make_unique<QApplication>(Argc, Argv);
  }
  void TearDown() override { App.reset(); }

 private:
  std::unique_ptr<QApplication> App;
};

inline ::testing::Environment* const QtAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtAppEnvironment);

}  // namespace quillory_test
