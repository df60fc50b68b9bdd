// The map's editor panel: what the parameter bindings cannot express.
#pragma once

#include "plugin/host.h"

class Nacrelle;

/// The panel's user dialog procedure: keeps the controls that depend on
/// other values following them and opens the two web pages.
class NacrelleDlgProc : public ParamMap2UserDlgProc {
public:
    explicit NacrelleDlgProc(Nacrelle* map) : currentMap(map) {}
    ~NacrelleDlgProc() override = default;

    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;
    void DeleteThis() override;
    void SetThing(ReferenceTarget* m) override;
    void Update(TimeValue t) override;

private:
    Nacrelle* currentMap;  // not owned
};

/// The output filter's panel made by the most recent panel build; the master
/// panel hands it to whichever map it moves to.
extern ParamDlg* lastOutputDlg;

/// Address of the maker's home page, opened by the "Homepage" button.
extern const MCHAR* const kHomepageUrl;
/// Address of the reference article on thin-film interference.
extern const MCHAR* const kArticleUrl;
