// The bench view from the main window: a button on the reading page and one
// beside the meter list. The view is a module loaded when first opened; the
// main window's own meter shows in it through the main window's session.
#include "MainFormUnit.h"

#include "BenchHost.h"
#include "DriverBinding.h"
#include "Messages.h"

#include <QListWidget>
#include <QToolButton>

namespace tirevo {

namespace {

const QString kBenchHint = QStringLiteral("Bench view: every attached meter in one window");

QToolButton* BenchButton(QWidget* page, const QRect& geometry)
{
    auto* button = new QToolButton(page);
    button->setGeometry(geometry);
    button->setIcon(QIcon(QStringLiteral(":/bench.png")));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(kBenchHint);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

void TMainForm::BuildBenchButtons()
{
    // Where no control of the pages was: the top right corner of the
    // reading page, and below Refresh on the selection page.
    sbBench = BenchButton(tsPH, {266, 2, 23, 22});
    sbBenchList = BenchButton(tsConnect, {256, 41, 23, 22});
    Bench = new BenchHost(this);
    connect(sbBench, &QToolButton::clicked, this, &TMainForm::sbBenchClick);
    connect(sbBenchList, &QToolButton::clicked, this, &TMainForm::sbBenchClick);
}

void TMainForm::EndBenchView()
{
    if (Bench)
        Bench->End();
}

void TMainForm::sbBenchClick()
{
    Guarded([&] {
        BenchViewSetup setup;
        setup.iniPath = LinkState.IniPath;
        setup.recordsFolder = recordsFolder_;
        setup.createRecordsFolder = createRecordsFolder_;
        setup.driver = &FTDriver();
        // The meter this window holds cannot be opened a second time: the
        // view shows it through this window's session.
        if (meter_.Status() != LinkStatus::Closed) {
            setup.shared = &meter_;
            const int row = SelectedRow(lb1);
            if (row >= 0)
                setup.sharedDescription = ToLocal(lb1->item(row)->text());
        }
        if (const std::optional<QString> error = Bench->Show(setup))
            ShowMessage(*error);
    });
}

}  // namespace tirevo
