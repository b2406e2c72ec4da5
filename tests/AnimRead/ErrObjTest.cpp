#include "AnimRead/ErrObj.h"

#include <gtest/gtest.h>

#include <string>

using namespace tavrel;

TEST(ErrObjTest, CodesCarryTheirTexts) {
    const char* expected[] = {"Memory is not sufficient!", "File not found !",
                              "File is corrupted!",        "Write file error!",
                              "File is expired!",          "File is not supported!",
                              "File reader is expired!",   "Object is not ready!",
                              "OK !"};
    for (int code = 0; code <= 8; ++code) {
        EXPECT_STREQ(ERROBJ::TextOf(code), expected[code]) << code;
    }
    EXPECT_STREQ(ERROBJ(ERR_WRITE, __FILE__, 1).GetText(), "Write file error!");
    EXPECT_STREQ(ERROBJ::TextOf(9), "Unknown error!");
    EXPECT_STREQ(ERROBJ::TextOf(-1), "Unknown error!");
}

TEST(ErrObjTest, RaiseRecordsSourceAndLine) {
    int line = 0;
    try {
        line = __LINE__ + 1;
        THROW_ERROBJ(ERR_CORRUPTED, "At Line: %d", 7);
    } catch (const ERROBJ& error) {
        EXPECT_EQ(error.code, ERR_CORRUPTED);
        EXPECT_STREQ(error.detail, "At Line: 7");
        EXPECT_EQ(std::string(error.location), "AnimRead/ErrObjTest Line:" + std::to_string(line));
    }
    ERROBJ reader(ERR_FILE_NOT_FOUND, "/src/tavrel/AnimRead/CHARead/CHARead.cpp", 42);
    EXPECT_STREQ(reader.location, "AnimRead/CHARead/CHARead Line:42");
    EXPECT_STREQ(reader.detail, "");
}

TEST(ErrObjTest, LongTextsAreCutAndTerminated) {
    const std::string line(400, 'x');
    ERROBJ error(ERR_CORRUPTED, "f.cpp", 1, "At parsing : %s", line.c_str());
    EXPECT_EQ(std::string(error.detail), ("At parsing : " + line).substr(0, 255));

    const std::string folder = "AnimRead/" + std::string(200, 'd') + "/Reader.cpp";
    ERROBJ located(ERR_CORRUPTED, folder.c_str(), 12345);
    EXPECT_EQ(std::string(located.location).size(), 79u);
}
