// A thickness map named by a user or a scene file may turn out to be a pipe
// or a device: reading one would block forever or never end (a GiB read from
// /dev/zero before giving up). Such names are refused at once, so that a
// scene naming one still loads, with the map's image missing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <imtl.h>
#include <standin/class_directory.h>
#include <standin/grey_maps.h>
#include <standin/scene_file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "tests/reliability/reliability_support.h"

namespace nacrelle::reliability {
namespace {

using standin::GreyBitmapMap;

/// Runs `read`, which may open `fifo` for reading. Should it block there, a
/// writer is opened and closed to release it, and the test fails.
void ExpectNoBlockingOn(const std::filesystem::path& fifo, const std::function<void()>& read) {
    auto done = std::async(std::launch::async, read);
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "reading " << fifo << " blocked";
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    done.get();
}

GreyBitmapMap* NewBitmapMap() {
    return static_cast<GreyBitmapMap*>(standin::CreateInstance(standin::GreyBitmapDesc()));
}

TEST(SpecialFileImage, ADeviceIsRefusedWithoutBeingRead) {
    std::unique_ptr<GreyBitmapMap, void (*)(GreyBitmapMap*)> map(
        NewBitmapMap(), [](GreyBitmapMap* m) { m->DeleteMe(); });
    std::string error;
    EXPECT_FALSE(map->SetFileName(MSTR::FromUTF8("/dev/zero"), error));
    EXPECT_EQ(error, "/dev/zero: cannot open: not a regular file");
    EXPECT_TRUE(map->Image().Empty());
}

TEST(SpecialFileImage, APipeIsRefusedWithoutWaitingForAWriter) {
    const ScratchDir scratch;
    const std::filesystem::path fifo = scratch / "thickness.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::unique_ptr<GreyBitmapMap, void (*)(GreyBitmapMap*)> map(
        NewBitmapMap(), [](GreyBitmapMap* m) { m->DeleteMe(); });
    std::string error;
    bool read = true;
    ExpectNoBlockingOn(fifo,
                       [&] { read = map->SetFileName(MSTR::FromUTF8(fifo.string()), error); });
    EXPECT_FALSE(read);
    EXPECT_EQ(error, fifo.string() + ": cannot open: not a regular file");
}

TEST(SpecialFileImage, ASceneNamingAPipeLoadsWithTheImageMissing) {
    const ScratchDir scratch;
    const std::filesystem::path image = scratch / "thickness.png";
    WriteGreyPng(image, 4, 4);
    std::vector<std::uint8_t> bytes;
    {
        standin::Scene scene;
        GreyBitmapMap* map = NewBitmapMap();
        scene.Add(map);
        std::string error;
        ASSERT_TRUE(map->SetFileName(MSTR::FromUTF8(image.string()), error)) << error;
        bytes = standin::WriteSceneBytes(scene, "scene.ncs");
    }
    // The image's file has become a pipe since the scene was saved.
    std::filesystem::remove(image);
    ASSERT_EQ(::mkfifo(image.c_str(), 0600), 0);

    std::unique_ptr<standin::Scene> loaded;
    ExpectNoBlockingOn(image, [&] { loaded = standin::ReadSceneBytes(bytes, "scene.ncs"); });
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->Count(), 1);
    const auto* map = static_cast<GreyBitmapMap*>(loaded->Roots()[0]);
    EXPECT_EQ(map->GetFileName().ToUTF8(), image.string());
    EXPECT_EQ(map->ImageError(), image.string() + ": cannot open: not a regular file");
}

}  // namespace
}  // namespace nacrelle::reliability
