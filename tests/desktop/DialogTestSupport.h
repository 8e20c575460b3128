#pragma once
// A settings file in a temporary folder for the dialog tests, with what a save left in it.

#include "dialogs/CAboutDlg.h"
#include "dialogs/CInfoDlg.h"
#include "dialogs/COptionDlg.h"
#include "dialogs/CPhraseDlg.h"
#include "qtsupport/CDialogUnits.h"
#include "qtsupport/CTemplateDialog.h"
#include "settings/CSettingsStore.h"
#include "text/Cp932.h"
#include "wire/Datagram.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QStringList>
#include <QTemporaryDir>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace palaverly::test {

struct CDialogSettings {
    QTemporaryDir dir;
    CSettingsStore store;
    std::vector<std::pair<QString, QString>> notices; // caption, text

    explicit CDialogSettings(const std::vector<std::string>& lines = {})
        : store(dir.filePath("palaverly.conf").toStdString()) {
        std::ofstream out(store.Path());
        for (const auto& line : lines)
            out << line << "\n";
    }

    CTemplateDialog::NoticeFn Notice() {
        return [this](QWidget*, const QString& caption, const QString& text) {
            notices.emplace_back(caption, text);
        };
    }

    QByteArray Bytes() const {
        QFile file(QString::fromStdString(store.Path().string()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    /// The value names of the file, in file order.
    QStringList Names() const {
        QStringList names;
        for (const QByteArray& line : Bytes().split('\n'))
            if (line.contains('='))
                names << QString::fromUtf8(line.left(line.indexOf('=')));
        return names;
    }

    /// A value as UTF-8; "<missing>" when the file gives it back as missing.
    QString Value(const std::string& name) const {
        auto text = store.ReadText(name, CSettingsStore::kValueLimit);
        return text ? QString::fromStdString(cp932::ToUtf8(*text)) : QStringLiteral("<missing>");
    }
};

// Types each character as a key press carrying that text, as an input method would.
inline void Type(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

inline int Cp932Bytes(const QString& text) {
    return static_cast<int>(cp932::FromUtf8Lossy(text.toStdString()).size());
}

/// One of the four dialogs ("options", "phrases", "info" or "about") on a scratch settings
/// file, with the values it edits; for the tests that walk every dialog.
struct CDialogUnderTest {
    CDialogSettings settings;
    COptionValues options;
    CPhraseValues phrases;
    CInfoValues info;
    CDialogUnits units{CDialogUnits::DialogFont()};
    std::unique_ptr<CTemplateDialog> dialog;

    explicit CDialogUnderTest(const QString& kind) {
        if (kind == "options")
            dialog = std::make_unique<COptionDlg>(options, settings.store, units);
        else if (kind == "phrases")
            dialog = std::make_unique<CPhraseDlg>(phrases, settings.store, units);
        else if (kind == "info")
            dialog = std::make_unique<CInfoDlg>(info, settings.store, units);
        else
            dialog = std::make_unique<CAboutDlg>(kVersionString, units);
    }
};

} // namespace palaverly::test
