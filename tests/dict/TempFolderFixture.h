// A folder of the test's own for the data files it writes; the marker table
// is emptied after each test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "dict/Markers.h"

struct TempFolder : ::testing::Test {
  std::filesystem::path dir;
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("hk-dict-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir);
    SetMarkersFromLines({});
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
};
