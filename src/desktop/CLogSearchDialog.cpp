#include "desktop/CLogSearchDialog.h"

#include "qtsupport/CCp932Validator.h"
#include "qtsupport/QtText.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

namespace palaverly {
namespace {

// Lines shown before and after the chosen hit.
constexpr std::size_t kAroundLines = 10;
// A log line is at most 1023 bytes, so no longer text can be found in one.
constexpr int kSearchLimit = 1023;

QTreeView* MakeList(CLogLineModel* model, QWidget* parent) {
    auto* list = new QTreeView(parent);
    list->setModel(model);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    // Uniform rows let the view place a year of hits without measuring each.
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setTextElideMode(Qt::ElideRight);
    list->header()->setStretchLastSection(true);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return list;
}

} // namespace

CLogSearchDialog::CLogSearchDialog(const COptionValues& options, const QFont& font, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setWindowTitle(QStringLiteral("ログ検索"));
    setFont(font);
    m_field = new QLineEdit(this);
    m_field->setPlaceholderText(QStringLiteral("検索する文字"));
    // A character CP932 cannot hold is refused as it is typed: the search then looks for
    // exactly what the field shows, never for a text changed by the conversion.
    m_field->setValidator(new CCp932Validator(
        kSearchLimit,
        [this](CCp932Validator::Refusal refusal) {
            const QString hint = CCp932Validator::HintText(refusal, kSearchLimit);
            QToolTip::showText(m_field->mapToGlobal(QPoint(0, m_field->height())), hint, m_field);
            m_status->setText(hint);
        },
        m_field));
    auto* go = new QPushButton(QStringLiteral("検索"), this);
    go->setDefault(true);
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_found = new CLogLineModel(this);
    m_lines = new CLogLineModel(this);
    m_hits = MakeList(m_found, this);
    m_around = MakeList(m_lines, this);
    m_around->setColumnHidden(CLogLineModel::kDay, true);
    m_around->setSelectionMode(QAbstractItemView::NoSelection);

    auto* row = new QHBoxLayout;
    row->addWidget(m_field, 1);
    row->addWidget(go);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_status);
    layout->addWidget(m_hits, 3);
    layout->addWidget(m_around, 2);
    // Room for a long line of text, but never more than the screen holds (at 2x a 1280 pixel
    // wide screen is only 640 wide).
    QSize size(QFontMetrics(font).averageCharWidth() * 90, QFontMetrics(font).height() * 32);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);

    connect(go, &QPushButton::clicked, this, [this] { Search(m_field->text()); });
    connect(m_field, &QLineEdit::returnPressed, this, [this] { Search(m_field->text()); });
    connect(m_hits->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { ShowAround(current.row()); });
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
    m_found->Clear();
    m_lines->Clear();
    // Text put in from outside the field skips its validator: refused here as there.
    const std::optional<std::string> needle = ToCp932(text);
    const std::optional<std::filesystem::path> folder = CLogSearch::LogFolder(m_options);
    if (!needle || needle->empty() || !folder) {
        m_status->setText(!needle ? CCp932Validator::HintText(
                                        CCp932Validator::Refusal::Unrepresentable, kSearchLimit)
                          : folder ? QString()
                                   : QStringLiteral("ログ保存先がありません"));
        emit Finished(0);
        return;
    }
    m_status->setText(QStringLiteral("検索中..."));
    m_done = false;
    const unsigned generation = ++m_generation;
    m_worker = std::thread([this, generation, needle = *needle, folder = *folder] {
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
    const int count = static_cast<int>(hits.size());
    m_found->SetRows(std::move(hits));
    m_status->setText(QStringLiteral("%1 件").arg(count));
    emit Finished(count);
}

void CLogSearchDialog::ShowAround(int hit) {
    m_lines->Clear();
    const std::vector<LogSearchHit>& found = m_found->Rows();
    if (hit < 0 || static_cast<std::size_t>(hit) >= found.size())
        return;
    const LogSearchHit& chosen = found[static_cast<std::size_t>(hit)];
    // One day's file is small next to a year of them: read on the spot.
    const std::optional<std::vector<LogFileLine>> lines = CLogSearch::ReadLogLines(chosen.path);
    if (!lines || chosen.lineIndex >= lines->size())
        return;
    const std::size_t first = chosen.lineIndex > kAroundLines ? chosen.lineIndex - kAroundLines : 0;
    const std::size_t last = std::min(lines->size(), chosen.lineIndex + kAroundLines + 1);
    std::vector<LogSearchHit> around;
    around.reserve(last - first);
    for (std::size_t i = first; i < last; ++i)
        around.push_back({chosen.day, chosen.path, i, (*lines)[i]});
    m_lines->SetRows(std::move(around), static_cast<int>(chosen.lineIndex - first));
    m_around->scrollTo(m_lines->index(m_lines->Emphasised(), CLogLineModel::kContent),
                       QAbstractItemView::PositionAtCenter);
}

} // namespace palaverly
