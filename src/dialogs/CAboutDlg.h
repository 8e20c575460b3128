#pragma once
// The about box on template 130: the version and a few words about the program.

#include "qtsupport/CTemplateDialog.h"

#include <string_view>

class QPlainTextEdit;

namespace palaverly {

class CAboutDlg : public CTemplateDialog {
    Q_OBJECT
public:
    enum ControlId { kOk = 1, kText = 1009 };

    CAboutDlg(std::string_view version, const CDialogUnits& units);

    static QString Title() { return QStringLiteral("About Palaverly"); }
    /// "Version：" and the version, CR LF, then the description, every line ending in CR LF.
    static QString BoxText(std::string_view version);
    QPlainTextEdit* TextEdit() const;

protected:
    void OnOk() override { accept(); }
};

} // namespace palaverly
