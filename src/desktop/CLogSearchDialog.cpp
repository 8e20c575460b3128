#include "desktop/CLogSearchDialog.h"

#include "qtsupport/QtText.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace palaverly {
namespace {

// Lines shown before and after the chosen hit.
constexpr std::size_t kAroundLines = 10;

QTreeWidget* MakeList(const QStringList& headers, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setStretchLastSection(true);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return list;
}

QStringList Columns(const LogFileLine& line) {
    return {FromCp932(line.time), FromCp932(line.sender), FromCp932(line.receiver),
            FromCp932(line.kind), FromCp932(line.content)};
}

} // namespace

CLogSearchDialog::CLogSearchDialog(const COptionValues& options, const QFont& font, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setWindowTitle(QStringLiteral("ログ検索"));
    setFont(font);
    m_field = new QLineEdit(this);
    m_field->setPlaceholderText(QStringLiteral("検索する文字"));
    auto* go = new QPushButton(QStringLiteral("検索"), this);
    go->setDefault(true);
    m_status = new QLabel(this);
    m_hits = MakeList({QStringLiteral("日付"), QStringLiteral("時刻"), QStringLiteral("送信者"),
                       QStringLiteral("受信者"), QStringLiteral("種別"), QStringLiteral("内容")},
                      this);
    m_around = MakeList({QStringLiteral("時刻"), QStringLiteral("送信者"), QStringLiteral("受信者"),
                         QStringLiteral("種別"), QStringLiteral("内容")},
                        this);
    m_around->setSelectionMode(QAbstractItemView::NoSelection);

    auto* row = new QHBoxLayout;
    row->addWidget(m_field, 1);
    row->addWidget(go);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_status);
    layout->addWidget(m_hits, 3);
    layout->addWidget(m_around, 2);
    resize(QFontMetrics(font).averageCharWidth() * 90, QFontMetrics(font).height() * 32);

    connect(go, &QPushButton::clicked, this, [this] { Search(m_field->text()); });
    connect(m_field, &QLineEdit::returnPressed, this, [this] { Search(m_field->text()); });
    connect(m_hits, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            ShowAround(m_hits->indexOfTopLevelItem(item));
    });
}

CLogSearchDialog::~CLogSearchDialog() {
    StopWorker();
}

void CLogSearchDialog::StopWorker() {
    // The worker checks the flag between files, so the join waits for one file at most.
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
    m_cancel = false;
}

void CLogSearchDialog::Search(const QString& text) {
    StopWorker();
    m_field->setText(text);
    m_hits->clear();
    m_around->clear();
    m_found.clear();
    const std::string needle = ToCp932Lossy(text);
    const std::optional<std::filesystem::path> folder = CLogSearch::LogFolder(m_options);
    if (needle.empty() || !folder) {
        m_status->setText(folder ? QString() : QStringLiteral("ログ保存先がありません"));
        emit Finished(0);
        return;
    }
    m_status->setText(QStringLiteral("検索中..."));
    m_done = false;
    const unsigned generation = ++m_generation;
    m_worker = std::thread([this, generation, needle, folder = *folder] {
        std::vector<LogSearchHit> hits = CLogSearch::Search(folder, needle, &m_cancel);
        // Queued to the dialog: dropped if the dialog is gone, ignored if a newer search began.
        QMetaObject::invokeMethod(
            this,
            [this, generation, hits = std::move(hits)]() mutable {
                ShowHits(generation, std::move(hits));
            },
            Qt::QueuedConnection);
    });
}

void CLogSearchDialog::ShowHits(unsigned generation, std::vector<LogSearchHit> hits) {
    if (generation != m_generation)
        return;
    m_done = true;
    m_found = std::move(hits);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(m_found.size()));
    for (const LogSearchHit& hit : m_found) {
        QStringList columns = Columns(hit.line);
        columns.prepend(QString::fromStdString(CLogSearch::FormatDay(hit.day)));
        items.append(new QTreeWidgetItem(columns));
    }
    m_hits->addTopLevelItems(items);
    m_status->setText(QStringLiteral("%1 件").arg(m_found.size()));
    emit Finished(static_cast<int>(m_found.size()));
}

void CLogSearchDialog::ShowAround(int hit) {
    m_around->clear();
    if (hit < 0 || static_cast<std::size_t>(hit) >= m_found.size())
        return;
    const LogSearchHit& found = m_found[static_cast<std::size_t>(hit)];
    // One day's file is small next to a year of them: read on the spot.
    const std::optional<std::vector<LogFileLine>> lines = CLogSearch::ReadLogLines(found.path);
    if (!lines || found.lineIndex >= lines->size())
        return;
    const std::size_t first = found.lineIndex > kAroundLines ? found.lineIndex - kAroundLines : 0;
    const std::size_t last = std::min(lines->size(), found.lineIndex + kAroundLines + 1);
    QTreeWidgetItem* chosen = nullptr;
    for (std::size_t i = first; i < last; ++i) {
        auto* item = new QTreeWidgetItem(m_around, Columns((*lines)[i]));
        if (i == found.lineIndex) {
            chosen = item;
            QFont bold = item->font(0);
            bold.setBold(true);
            for (int c = 0; c < item->columnCount(); ++c)
                item->setFont(c, bold);
        }
    }
    m_around->scrollToItem(chosen, QAbstractItemView::PositionAtCenter);
}

} // namespace palaverly
