#pragma once
// Ctrl+F in the chat window: a search over every daily log file, newest first. The files are
// read on a worker thread, so the window goes on receiving while a year of logs is searched;
// choosing a hit shows that day's lines around it.

#include "desktop/CLogLineModel.h"
#include "settings/COptionValues.h"
#include "station/CLogSearch.h"

#include <QDialog>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QLabel;
class QLineEdit;
class QTreeView;

namespace palaverly {

class CLogSearchDialog : public QDialog {
    Q_OBJECT
public:
    /// `options` gives the log folder at each search ("LogSavePath" may change meanwhile).
    CLogSearchDialog(const COptionValues& options, const QFont& font, QWidget* parent);
    ~CLogSearchDialog() override;

    /// Starts a search for `text` (what the field holds), dropping one under way.
    void Search(const QString& text);
    /// True while a search runs.
    bool Searching() const { return m_worker.joinable() && !m_done; }

signals:
    /// A search has ended and its hits are listed.
    void Finished(int hits);

private:
    void StopWorker();
    void ShowHits(unsigned generation, std::vector<LogSearchHit> hits);
    void ShowAround(int hit);

    const COptionValues& m_options;
    QLineEdit* m_field;
    QLabel* m_status;
    CLogLineModel* m_found;
    CLogLineModel* m_lines;
    QTreeView* m_hits;
    QTreeView* m_around;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    bool m_done = true;
    unsigned m_generation = 0;
};

} // namespace palaverly
