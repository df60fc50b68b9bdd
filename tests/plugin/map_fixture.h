// A loaded module with one map in a scene, and test doubles for what the map
// talks to: a greyscale sub-map that counts its calls and a panel hook that
// records refresh requests.
#pragma once

#include <imtl.h>
#include <params/panel_host.h>
#include <scene/scene.h>
#include <stdmat.h>

#include <atomic>
#include <memory>
#include <vector>

#include "core/film_colour.h"
#include "tests/plugin/module_fixture.h"
#include "tests/support/test_grey_map.h"

namespace nacrelle::testing {

using CountingMonoMap = TestGreyMap;

/// Records the panel refreshes the map asks for, and passes every request on
/// to the host's own panel machinery.
class RecordingPanelHost final : public standin::PanelHost {
public:
    struct Refresh {
        ParamBlockDesc2* pbd;
        ParamID id;
        int tabIndex;
    };

    RecordingPanelHost() : next_(standin::GetPanelHost()) { standin::SetPanelHost(this); }
    ~RecordingPanelHost() override { standin::SetPanelHost(next_); }

    IAutoMParamDlg* CreateParamDlgs(ClassDesc2* cd, HWND hwnd, IMtlParams* imp,
                                    ReferenceTarget* obj) override {
        return next_ != nullptr ? next_->CreateParamDlgs(cd, hwnd, imp, obj) : nullptr;
    }
    void InvalidateUI(ClassDesc2* cd, ParamBlockDesc2* pbd, ParamID id, int tabIndex) override {
        refreshes.push_back({pbd, id, tabIndex});
        if (next_ != nullptr) next_->InvalidateUI(cd, pbd, id, tabIndex);
    }
    void SetUserDlgProc(ParamBlockDesc2* pbd, MapID map, ParamMap2UserDlgProc* proc) override {
        if (next_ != nullptr) next_->SetUserDlgProc(pbd, map, proc);
    }

    std::vector<Refresh> refreshes;

private:
    standin::PanelHost* next_;
};

class MapTest : public ModuleTest {
protected:
    void SetUp() override;
    void TearDown() override;

    /// A new map of the module's class, kept in the test's scene.
    Texmap& NewMap(BOOL loading = FALSE);
    IParamBlock2& Block(Texmap& m) const { return *m.GetParamBlock(0); }
    /// The map's output filter.
    StdTexoutGen& Output(Texmap& m) const;
    /// A counting sub-map plugged into slot 0 (the map owns it from then on).
    CountingMonoMap& PlugCountingMap(Texmap& m, float mono);

    /// The core's colour for the values in the map's block at time t.
    nacrelle::Colour CoreColour(Texmap& m, float cosine, float mapValue, TimeValue t = 0);

    std::unique_ptr<standin::Scene> scene;
    Texmap* map = nullptr;
};

}  // namespace nacrelle::testing
