#pragma once
// One window on the display for a whole suite of GL tests (each test makes its own device on
// it): a display connection and a window per test would cost more than the tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/sanitizer_support.h"
#include "platform/sdl_window_system.h"

template <class Base, int kWidth, int kHeight>
class GlWindowSuite : public Base {
 protected:
  static void SetUpTestSuite() {
    platform::KeepGraphicsDriversLoadedForLeakChecks();
    std::string error;
    system_ = platform::SdlWindowSystem::Create(&error);
    ASSERT_NE(system_, nullptr) << "needs a display (make test runs under Xvfb): " << error;
    window_ = system_->CreateWindow("TEST", kWidth, kHeight);
    ASSERT_NE(window_, nullptr);
    window_->Show();
  }
  static void TearDownTestSuite() {
    window_.reset();
    system_.reset();
  }

  inline static std::unique_ptr<platform::SdlWindowSystem> system_;
  inline static std::unique_ptr<platform::Window> window_;
};
