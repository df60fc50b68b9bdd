// A failed load leaves the current scene untouched: the program's session
// keeps the very scene it had, with every value, when the file it is asked to
// open is cut short anywhere, damaged, missing or no file at all.
#include <gtest/gtest.h>
#include <imtl.h>
#include <iparamb2.h>
#include <scene/scene_file.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/reliability/reliability_support.h"
#include "common/errors.h"
#include "app/session/host_session.h"

namespace nacrelle::reliability {
namespace {

class FailedLoad : public ::testing::Test {
protected:
    void SetUp() override {
        session = std::make_unique<tools::HostSession>(ModulePath());
        // The scene on disk: two maps, one driven by noise.
        Texmap& onDisk = session->createMap();
        PlugThicknessMap(onDisk, "noise");
        SetKey(onDisk, "gamma", "1.7", 12 * 160);
        session->createMap();
        good = scratch / "good.ncs";
        session->saveScene(good);
        goodBytes = ReadBytes(good);

        // The scene the user is working on, unsaved and different.
        session->scene().Clear();
        Texmap& current = session->createMap();
        PlugThicknessMap(current, "gradient");
        SetParam(current, "thicknessmax", "42");
        currentBytes = standin::WriteSceneBytes(session->scene(), "current");
    }
    void TearDown() override { session.reset(); }

    /// Opens `file`; on refusal expects the error to name the file and the
    /// session to hold exactly the scene it had. Returns whether it loaded.
    bool Open(const std::filesystem::path& file, const std::string& label) {
        standin::Scene* const scene = &session->scene();
        const std::vector<ReferenceTarget*> roots = scene->Roots();
        try {
            session->loadScene(file);
        } catch (const tools::Failure& e) {
            EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos)
                << label << ": " << e.what();
            EXPECT_EQ(&session->scene(), scene) << label;
            EXPECT_EQ(session->scene().Roots(), roots) << label;
            EXPECT_EQ(standin::WriteSceneBytes(session->scene(), "current"), currentBytes)
                << label << ": the current scene changed";
            return false;
        }
        return true;
    }

    /// Puts the user's scene back after a damaged file that still loaded.
    void Restore() {
        session->scene().Clear();
        Texmap& current = session->createMap();
        PlugThicknessMap(current, "gradient");
        SetParam(current, "thicknessmax", "42");
        ASSERT_EQ(standin::WriteSceneBytes(session->scene(), "current"), currentBytes);
    }

    ScratchDir scratch;
    std::unique_ptr<tools::HostSession> session;
    std::filesystem::path good;
    std::vector<std::uint8_t> goodBytes, currentBytes;
};

TEST_F(FailedLoad, AFileCutShortAnywhereIsRefusedAndTheSceneStays) {
    const std::filesystem::path cut = scratch / "cut.ncs";
    for (std::size_t n = 0; n < goodBytes.size(); ++n) {
        WriteBytes(cut, std::vector<std::uint8_t>(goodBytes.begin(), goodBytes.begin() + n));
        EXPECT_FALSE(Open(cut, "cut after " + std::to_string(n) + " bytes"))
            << "a file cut after " << n << " of " << goodBytes.size() << " bytes loaded";
        if (HasFailure()) break;
    }
    RecordProperty("truncations", std::to_string(goodBytes.size()));
}

TEST_F(FailedLoad, ADamagedByteAnywhereIsRefusedOrLoadsButNeverHarmsTheScene) {
    const std::filesystem::path damaged = scratch / "damaged.ncs";
    int refused = 0;
    for (std::size_t at = 0; at < goodBytes.size(); ++at) {
        std::vector<std::uint8_t> bytes = goodBytes;
        bytes[at] ^= 0xA5;
        WriteBytes(damaged, bytes);
        if (Open(damaged, "byte " + std::to_string(at) + " damaged")) {
            Restore();  // a changed value or name: a different but sound scene
        } else {
            ++refused;
        }
        if (HasFailure()) break;
    }
    // Most damage hits structure and must be caught.
    EXPECT_GT(refused, static_cast<int>(goodBytes.size() / 4));
}

TEST_F(FailedLoad, AMissingFileAFolderAndAForeignFileAreRefusedAndTheSceneStays) {
    EXPECT_FALSE(Open(scratch / "absent.ncs", "missing file"));
    EXPECT_FALSE(Open(scratch.Path(), "a folder"));
    const std::filesystem::path png = scratch / "picture.ncs";
    WriteGreyPng(png, 2, 2);
    EXPECT_FALSE(Open(png, "a PNG file"));
    const std::filesystem::path empty = scratch / "empty.ncs";
    WriteBytes(empty, {});
    EXPECT_FALSE(Open(empty, "an empty file"));
}

TEST_F(FailedLoad, TheSoundFileStillLoadsAfterwards) {
    const std::filesystem::path cut = scratch / "cut.ncs";
    WriteBytes(cut, std::vector<std::uint8_t>(goodBytes.begin(), goodBytes.end() - 1));
    EXPECT_FALSE(Open(cut, "cut by one byte"));
    ASSERT_TRUE(Open(good, "the sound file"));
    EXPECT_EQ(standin::WriteSceneBytes(session->scene(), "good"), goodBytes);
}

}  // namespace
}  // namespace nacrelle::reliability
