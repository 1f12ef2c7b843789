#pragma once
// File paths in the test directory, unique to the running test.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "text/wformat.h"

// <suite>_<test><tag>.dat, so parameterised tests do not share files.
inline std::u16string TestFilePath(const std::string& tag = "", const std::string& extension = ".dat")
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name() + tag + extension;
    std::replace(name.begin(), name.end(), '/', '_');
    return Utf8ToUtf16(std::string(UPDATER_TEST_TMPDIR) + "/" + name);
}
