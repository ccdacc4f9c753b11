#include "mainwindow/profile_overview.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "toolkit/theme.h"

namespace kb {

namespace {

constexpr int kWidth = 560;
constexpr int kVisibleRows = 12;

// A rounded swatch in the kind's colour, as the legend above the keys shows it.
QIcon KindSwatch(const QColor& colour, qreal ratio) {
    QPixmap pixmap(QSize(12, 12) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(1, 1, 10, 10), 2, 2);
    return QIcon(pixmap);
}

}  // namespace

ProfileOverview::ProfileOverview(QWidget* parent, const Texts& texts,
                                 const std::vector<OverviewRow>& rows)
    : QDialog(parent) {
    setObjectName(QStringLiteral("profile_overview"));
    setWindowTitle(texts.title);
    setModal(true);
    setStyleSheet(ui::ThemeStyleSheet(QStringLiteral(
        "QDialog#profile_overview { background: @color/bg; border: 1px solid @color/edge; }"
        "QLabel { color: @color/text_dim; font-size: 13px; }"
        "QTreeWidget { background: @color/panel; color: @color/text; border: 1px solid "
        "@color/edge; border-radius: 6px; font-size: 13px; outline: 0; }"
        "QTreeWidget::item { height: 30px; }"
        "QTreeWidget::item:hover { background: @color/hover; }"
        "QTreeWidget::item:selected { background: @color/selection; color: @color/text; }"
        "QHeaderView::section { background: @color/panel_dark; color: @color/text_dim; "
        "border: none; border-bottom: 1px solid @color/edge; padding: 0 6px; height: 28px; "
        "font-size: 12px; }")));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kOverviewMargin, kOverviewMargin, kOverviewMargin, kOverviewMargin);
    layout->setSpacing(kOverviewSpacing);
    auto* summary = new QLabel(rows.empty() ? texts.empty : texts.summary, this);
    summary->setObjectName(QStringLiteral("overview_summary"));
    summary->setFixedHeight(kOverviewSummaryHeight);
    layout->addWidget(summary);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("overview_list"));
    list_->setColumnCount(2);
    list_->setHeaderLabels({texts.keyColumn, texts.actionColumn});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setMouseTracking(true);
    list_->header()->setStretchLastSection(true);
    list_->header()->setSectionsMovable(false);
    list_->setColumnWidth(0, 170);
    list_->header()->setFixedHeight(kOverviewHeaderHeight);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setAccessibleName(texts.title);
    const qreal ratio = devicePixelRatioF();
    for (const OverviewRow& row : rows) {
        auto* item = new QTreeWidgetItem(list_, {row.key, row.action});
        item->setData(0, Qt::UserRole, row.keyId);
        item->setIcon(0, KindSwatch(row.kind, ratio));
        item->setToolTip(1, row.action);
        item->setSizeHint(0, QSize(0, kOverviewRowHeight));
    }
    list_->setVisible(!rows.empty());
    if (!rows.empty()) {
        list_->setCurrentItem(list_->topLevelItem(0));
    }
    layout->addWidget(list_, 1);
    connect(list_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { Choose(item); });
    connect(list_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { Choose(item); });

    const int shown = std::clamp(static_cast<int>(rows.size()), 1, kVisibleRows);
    const int listHeight =
        rows.empty() ? 0 : kOverviewHeaderHeight + shown * kOverviewRowHeight + 4;
    setFixedWidth(kWidth);
    resize(kWidth, 2 * kOverviewMargin + kOverviewSummaryHeight + kOverviewSpacing + listHeight);
}

void ProfileOverview::Choose(QTreeWidgetItem* item) {
    if (!item) {
        return;
    }
    chosen_ = item->data(0, Qt::UserRole).toInt();
    accept();
}

}  // namespace kb
