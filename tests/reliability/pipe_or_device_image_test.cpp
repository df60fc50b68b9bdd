// A thickness map named by a user or a scene file may turn out to be a pipe
// or a device: reading one would block forever or never end (a GiB read from
// /dev/zero before giving up). Such names are refused at once, so that a
// scene naming one still loads, with the map's image missing.
#include <gtest/gtest.h>
#include <imtl.h>
#include <sdk/class_directory.h>
#include <maps/grey_maps.h>
#include <scene/scene_file.h>
#include <platform/utf16.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "tests/reliability/reliability_support.h"
#include "tests/reliability/pipes_and_devices.h"

namespace nacrelle::reliability {
namespace {

using standin::GreyBitmapMap;

/// Runs `read`, which may open `pipe` for reading. Should it block there, the
/// pipe releases it, and the test fails.
void ExpectNoBlockingOn(IdlePipe& pipe, const std::function<void()>& read) {
    auto done = std::async(std::launch::async, read);
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "reading " << pipe.Name() << " blocked";
        pipe.ReleaseReader();
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
    EXPECT_FALSE(map->SetFileName(MSTR::FromUTF8(EndlessDevice()), error));
    EXPECT_EQ(error, EndlessDevice() + ": cannot open: not a regular file");
    EXPECT_TRUE(map->Image().Empty());
}

TEST(SpecialFileImage, APipeIsRefusedWithoutWaitingForAWriter) {
    const ScratchDir scratch;
    IdlePipe pipe(scratch / "thickness.png");
    std::unique_ptr<GreyBitmapMap, void (*)(GreyBitmapMap*)> map(
        NewBitmapMap(), [](GreyBitmapMap* m) { m->DeleteMe(); });
    std::string error;
    bool read = true;
    ExpectNoBlockingOn(pipe, [&] { read = map->SetFileName(MSTR::FromUTF8(pipe.Name()), error); });
    EXPECT_FALSE(read);
    EXPECT_EQ(error, pipe.Name() + ": cannot open: not a regular file");
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
    // The image's file has become a pipe since the scene was saved. Where
    // pipes have names of their own, the saved name is replaced by the pipe's.
    IdlePipe pipe(image);
    const std::u16string saved = standin::Utf8ToUtf16(image.string());
    const std::u16string piped = standin::Utf8ToUtf16(pipe.Name());
    ASSERT_EQ(saved.size(), piped.size());
    const auto* savedBytes = reinterpret_cast<const std::uint8_t*>(saved.data());
    const auto at = std::search(bytes.begin(), bytes.end(), savedBytes,
                                savedBytes + 2 * saved.size());
    ASSERT_NE(at, bytes.end());
    std::copy_n(reinterpret_cast<const std::uint8_t*>(piped.data()), 2 * piped.size(), at);

    std::unique_ptr<standin::Scene> loaded;
    ExpectNoBlockingOn(pipe, [&] { loaded = standin::ReadSceneBytes(bytes, "scene.ncs"); });
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->Count(), 1);
    const auto* map = static_cast<GreyBitmapMap*>(loaded->Roots()[0]);
    EXPECT_EQ(map->GetFileName().ToUTF8(), pipe.Name());
    EXPECT_EQ(map->ImageError(), pipe.Name() + ": cannot open: not a regular file");
}

}  // namespace
}  // namespace nacrelle::reliability
