// Path helpers of the work folder.
#include <gtest/gtest.h>

#include "app/work_folder.h"

namespace trevan {
namespace {

TEST(ParentFolder, Table) {
    const std::pair<std::string, std::string> rows[] = {
        {"C:\\Temp\\VORBELQ1437469477\\", "C:\\Temp"},
        {"C:\\Temp\\VORBELQ1437469477", "C:\\Temp"},
        // A drive's root keeps its backslash: "C:" is the drive's current folder.
        {"C:\\VORBELQ1\\", "C:\\"},
        {"C:\\VORBELQ1", "C:\\"},
        {"VORBELQ1\\", "VORBELQ1\\"},  // no backslash before the last one
        {"x", "x"},
        {"", ""},
        {"\\\\server\\share\\t\\", "\\\\server\\share"},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(parent_folder(in), out) << in;
}

TEST(WorkFolderName, TakesTheLowHalfOfTheTimeAsSigned) {
    EXPECT_EQ(work_folder_name(1437469477), "VORBELQ1437469477\\");
    EXPECT_EQ(work_folder_name(0), "VORBELQ0\\");
    EXPECT_EQ(work_folder_name(0x80000000LL), "VORBELQ-2147483648\\");
    EXPECT_EQ(work_folder_name(0x100000005LL), "VORBELQ5\\");
    EXPECT_EQ(work_folder_name(0x17FFFFFFFLL), "VORBELQ2147483647\\");
}

}  // namespace
}  // namespace trevan
