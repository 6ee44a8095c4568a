#include <gtest/gtest.h>

#include "ui/file_names.h"

namespace {

TEST(DefaultSaveName, IsTheFirstDroppedItemsNameAndMetadata) {
    EXPECT_EQ(DefaultSaveName("C:\\Photos\\IMG_0001.jpg"), "IMG_0001.jpg metadata.txt");
    EXPECT_EQ(DefaultSaveName("\\\\server\\share\\Holiday\\"), "Holiday metadata.txt");
    // No drop yet, or no name a file can have.
    for (const char* none : {"", "C:\\", "D:", "C:\\Photos\\*.jpg", "\\\\?\\C:\\"}) {
        EXPECT_EQ(DefaultSaveName(none), "metadata.txt") << none;
    }
    // At most 255 UTF-16 units, never half a surrogate pair.
    const std::string a241(241, 'a');
    EXPECT_EQ(DefaultSaveName("C:\\" + a241 + "\xF0\xA0\xAE\x9F"), a241 + " metadata.txt");
    EXPECT_EQ(DefaultSaveName(a241.substr(1) + "\xF0\xA0\xAE\x9F"),
              a241.substr(1) + "\xF0\xA0\xAE\x9F metadata.txt");
}

} // namespace
