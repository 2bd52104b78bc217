#include "platform/qt/DrawnEmojiFile.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace mosaiko {
namespace {

namespace fs = std::filesystem;
using Drawn = DrawnEmojiFile::Drawn;

class DrawnEmojiFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("mosaiko-drawn-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        setFont("font one");
    }
    void TearDown() override { fs::remove_all(folder_); }

    void setFont(const std::string& content) { std::ofstream(font()) << content; }
    fs::path font() const { return folder_ / "font.ttf"; }
    fs::path cache() const { return folder_ / "cache"; }
    // The one file kept in the cache folder.
    fs::path cacheFile() const { return fs::directory_iterator(cache())->path(); }

    static Drawn drawing(QRgb colour, double scale = 1) {
        QImage image(7, 5, QImage::Format_ARGB32_Premultiplied);
        image.fill(colour);
        image.setPixel(3, 2, qRgba(0, 0, 0, 0));
        image.setDevicePixelRatio(scale);
        return {image, 6.5, 4.25};
    }

    fs::path folder_;
};

TEST_F(DrawnEmojiFileTest, ALaterRunReadsBackWhatWasKeptForTheSameFontOnly) {
    {
        DrawnEmojiFile file(cache(), font());
        file.keep("a", drawing(qRgba(200, 10, 10, 255)));
        file.keep("b", drawing(qRgba(0, 0, 80, 128), 2));
        file.keep("a", drawing(qRgba(0, 255, 0, 255)));  // kept already: not replaced
        EXPECT_TRUE(file.find("b"));
    }
    DrawnEmojiFile later(cache(), font());
    const auto a = later.find("a"), b = later.find("b");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->image, drawing(qRgba(200, 10, 10, 255)).image);
    EXPECT_EQ(b->image, drawing(qRgba(0, 0, 80, 128)).image);
    EXPECT_EQ(b->image.devicePixelRatio(), 2);
    EXPECT_EQ(a->textWidth, 6.5);
    EXPECT_EQ(a->lineHeight, 4.25);
    EXPECT_FALSE(later.find("c"));

    // Another font in the file's place: nothing of the old one is read, and its file goes.
    const fs::path old = cacheFile();
    setFont("font two, another size");
    DrawnEmojiFile changed(cache(), font());
    EXPECT_FALSE(changed.find("a"));
    EXPECT_FALSE(fs::exists(old));
}

// What is kept is found at once, and written for later runs by a save, in the order kept.
TEST_F(DrawnEmojiFileTest, KeptDrawingsReachTheFileWhenSaved) {
    DrawnEmojiFile file(cache(), font());
    file.keep("a", drawing(qRgba(200, 10, 10, 255)));
    file.keep("b", drawing(qRgba(0, 0, 80, 128)));
    ASSERT_TRUE(file.find("a"));
    EXPECT_EQ(file.find("a")->image, drawing(qRgba(200, 10, 10, 255)).image);
    EXPECT_TRUE(DrawnEmojiFile(cache(), font()).find("a") == std::nullopt) << "not written before the save";
    file.save();
    EXPECT_FALSE(file.hasUnsaved());
    file.keep("c", drawing(qRgba(1, 2, 3, 255)));
    EXPECT_TRUE(file.hasUnsaved());
    DrawnEmojiFile later(cache(), font());
    EXPECT_TRUE(later.find("a") && later.find("b") && file.find("a") && file.find("c"));
    EXPECT_FALSE(later.find("c"));
}

// A later run reads the index of a file far larger than one piece of it at a time: every record is
// found, whatever piece its head or key falls in.
TEST_F(DrawnEmojiFileTest, EveryRecordOfALargeFileIsFound) {
    std::uint32_t noise = 1;
    auto noisy = [&] {
        QImage image(61, 67, QImage::Format_ARGB32_Premultiplied);  // about 16 KB that hardly shrink
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, (noise = noise * 1664525 + 1013904223) | 0xFF000000);
        return Drawn{image, 1, 2};
    };
    std::vector<QImage> kept;
    {
        DrawnEmojiFile file(cache(), font());
        for (int i = 0; i < 60; ++i) {
            kept.push_back(noisy().image);
            file.keep("key " + std::string(static_cast<std::size_t>(i % 7) * 50, 'k') + std::to_string(i),
                      {kept.back(), 1, 2});
        }
    }
    ASSERT_GT(fs::file_size(cacheFile()), 3u << 18);
    DrawnEmojiFile later(cache(), font());
    for (int i = 0; i < 60; ++i) {
        const auto found =
            later.find("key " + std::string(static_cast<std::size_t>(i % 7) * 50, 'k') + std::to_string(i));
        ASSERT_TRUE(found) << i;
        EXPECT_EQ(found->image, kept[static_cast<std::size_t>(i)]) << i;
    }
}

// A save cut short, or bytes changed since, never give a wrong image: what was kept before them
// is still read, and what is kept after them is found by a later run.
TEST_F(DrawnEmojiFileTest, DamagedRecordsAreMissesAndHideNothingKeptLater) {
    {
        DrawnEmojiFile file(cache(), font());
        file.keep("whole", drawing(qRgba(9, 9, 9, 255)));
        file.keep("changed", drawing(qRgba(1, 2, 3, 255)));
    }
    const auto changedEnd = fs::file_size(cacheFile());
    {
        std::fstream bytes(cacheFile(), std::ios::in | std::ios::out | std::ios::binary);
        bytes.seekp(static_cast<std::streamoff>(changedEnd) - 1);
        bytes.put('\x5a');
    }
    {
        DrawnEmojiFile file(cache(), font());
        EXPECT_TRUE(file.find("whole"));
        EXPECT_FALSE(file.find("changed"));
        file.keep("cut", drawing(qRgba(4, 5, 6, 255)));
    }
    fs::resize_file(cacheFile(), fs::file_size(cacheFile()) - 3);
    {
        DrawnEmojiFile file(cache(), font());
        EXPECT_FALSE(file.find("cut"));
        file.keep("after", drawing(qRgba(7, 7, 7, 255)));
    }
    DrawnEmojiFile later(cache(), font());
    EXPECT_TRUE(later.find("whole"));
    EXPECT_TRUE(later.find("after"));
    EXPECT_FALSE(later.find("cut"));
}

}  // namespace
}  // namespace mosaiko
