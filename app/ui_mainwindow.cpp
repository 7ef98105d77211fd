#include "ui_mainwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QAction *makeAction(QMainWindow *window, const char *name, bool checked = false, bool checkable = false)
{
    auto *action = new QAction(window);
    action->setObjectName(QString::fromLatin1(name));
    if (checkable) {
        action->setCheckable(true);
        action->setChecked(checked);
    }
    return action;
}

void setMargins(QLayout *layout, int spacing, int margin)
{
    layout->setSpacing(spacing);
    layout->setContentsMargins(margin, margin, margin, margin);
}

} // namespace

void Ui_mainWindow::setupUi(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("mainWindow"));
    window->resize(813, 571);

    actionExit = makeAction(window, "actionExit");
    actionOpen = makeAction(window, "actionOpen");
    actionOptions = makeAction(window, "actionOptions");
    actionResults = makeAction(window, "actionResults");
    actionCancel = makeAction(window, "actionCancel");
    actionFilterShow = makeAction(window, "actionFilterShow", true, true);
    actionFileShow = makeAction(window, "actionFileShow", true, true);
    actionFilterEdit = makeAction(window, "actionFilterEdit");
    actionFilterSave = makeAction(window, "actionFilterSave");
    actionFilterDel = makeAction(window, "actionFilterDel");
    actionRefresh = makeAction(window, "actionRefresh");
    actionFindShow = makeAction(window, "actionFindShow", true, true);
    actionNewTab = makeAction(window, "actionNewTab");
    actionResultsSave = makeAction(window, "actionResultsSave");

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    gridLayout_3 = new QGridLayout(centralWidget);
    gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));
    setMargins(gridLayout_3, 6, 11);

    splitterH = new QSplitter(centralWidget);
    splitterH->setObjectName(QStringLiteral("splitterH"));
    splitterH->setOrientation(Qt::Horizontal);

    frameLeft = new QFrame(splitterH);
    frameLeft->setObjectName(QStringLiteral("frameLeft"));
    QSizePolicy leftPolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Expanding);
    leftPolicy.setHeightForWidth(frameLeft->sizePolicy().hasHeightForWidth());
    frameLeft->setSizePolicy(leftPolicy);
    frameLeft->setMaximumWidth(500);
    frameLeft->setFrameShape(QFrame::NoFrame);
    frameLeft->setFrameShadow(QFrame::Raised);
    gridLayout_2 = new QGridLayout(frameLeft);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    setMargins(gridLayout_2, 3, 1);

    splitterV = new QSplitter(frameLeft);
    splitterV->setObjectName(QStringLiteral("splitterV"));
    splitterV->setOrientation(Qt::Vertical);

    gbFilter = new QGroupBox(splitterV);
    gbFilter->setObjectName(QStringLiteral("gbFilter"));
    verticalLayout = new QVBoxLayout(gbFilter);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    setMargins(verticalLayout, 6, 11);
    lbFilter = new QLabel(gbFilter);
    lbFilter->setObjectName(QStringLiteral("lbFilter"));
    lbFilter->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignTop);
    verticalLayout->addWidget(lbFilter);
    splitterV->addWidget(gbFilter);

    gbFile = new QGroupBox(splitterV);
    gbFile->setObjectName(QStringLiteral("gbFile"));
    gridLayout = new QGridLayout(gbFile);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    setMargins(gridLayout, 0, 0);
    twFiles = new QTableWidget(gbFile);
    twFiles->setObjectName(QStringLiteral("twFiles"));
    twFiles->setColumnCount(4);
    for (int column = 0; column < 4; ++column)
        twFiles->setHorizontalHeaderItem(column, new QTableWidgetItem());
    twFiles->setFocusPolicy(Qt::NoFocus);
    twFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    twFiles->setAlternatingRowColors(true);
    twFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    twFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    twFiles->setTextElideMode(Qt::ElideRight);
    twFiles->setShowGrid(false);
    twFiles->horizontalHeader()->setHighlightSections(false);
    twFiles->horizontalHeader()->setMinimumSectionSize(40);
    twFiles->verticalHeader()->setVisible(false);
    gridLayout->addWidget(twFiles, 0, 0, 1, 1);
    splitterV->addWidget(gbFile);
    gridLayout_2->addWidget(splitterV, 0, 0, 1, 1);
    splitterH->addWidget(frameLeft);

    layoutWidget = new QWidget(splitterH);
    layoutWidget->setObjectName(QStringLiteral("layoutWidget"));
    verticalLayout_2 = new QVBoxLayout(layoutWidget);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    setMargins(verticalLayout_2, 6, 0);

    gbFind = new QGroupBox(layoutWidget);
    gbFind->setObjectName(QStringLiteral("gbFind"));
    gridLayout_4 = new QGridLayout(gbFind);
    gridLayout_4->setObjectName(QStringLiteral("gridLayout_4"));
    setMargins(gridLayout_4, 1, 2);
    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setSpacing(6);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    leFind = new QLineEdit(gbFind);
    leFind->setObjectName(QStringLiteral("leFind"));
    leFind->setFocusPolicy(Qt::ClickFocus);
    horizontalLayout->addWidget(leFind);
    btnBwd = new QPushButton(gbFind);
    btnBwd->setObjectName(QStringLiteral("btnBwd"));
    btnBwd->setFocusPolicy(Qt::NoFocus);
    btnBwd->setFlat(true);
    horizontalLayout->addWidget(btnBwd);
    btnFwd = new QPushButton(gbFind);
    btnFwd->setObjectName(QStringLiteral("btnFwd"));
    btnFwd->setFocusPolicy(Qt::NoFocus);
    btnFwd->setFlat(true);
    horizontalLayout->addWidget(btnFwd);
    gridLayout_4->addLayout(horizontalLayout, 0, 0, 1, 1);
    verticalLayout_2->addWidget(gbFind);

    twLogResult = new QTabWidget(layoutWidget);
    twLogResult->setObjectName(QStringLiteral("twLogResult"));
    twLogResult->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    twLogResult->setTabsClosable(false);
    verticalLayout_2->addWidget(twLogResult);
    splitterH->addWidget(layoutWidget);

    gridLayout_3->addWidget(splitterH, 0, 0, 1, 1);
    window->setCentralWidget(centralWidget);

    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuFile = new QMenu(menuBar);
    menuFile->setObjectName(QStringLiteral("menuFile"));
    menuView = new QMenu(menuBar);
    menuView->setObjectName(QStringLiteral("menuView"));
    menuFilter = new QMenu(menuBar);
    menuFilter->setObjectName(QStringLiteral("menuFilter"));
    menuSettings = new QMenu(menuBar);
    menuSettings->setObjectName(QStringLiteral("menuSettings"));
    window->setMenuBar(menuBar);

    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    statusBar->setMinimumHeight(25);
    window->setStatusBar(statusBar);
    tbFilterEdit = new QToolBar(window);
    tbFilterEdit->setObjectName(QStringLiteral("tbFilterEdit"));
    window->addToolBar(Qt::TopToolBarArea, tbFilterEdit);

    menuBar->addAction(menuFile->menuAction());
    menuBar->addAction(menuView->menuAction());
    menuBar->addAction(menuFilter->menuAction());
    menuBar->addAction(menuSettings->menuAction());
    menuFile->addAction(actionOpen);
    menuFile->addAction(actionResultsSave);
    menuFile->addSeparator();
    menuFile->addAction(actionExit);
    menuFile->addSeparator();
    menuView->addAction(actionNewTab);
    menuView->addSeparator();
    menuView->addAction(actionFilterShow);
    menuView->addAction(actionFileShow);
    menuView->addAction(actionFindShow);
    menuView->addSeparator();
    menuView->addAction(actionRefresh);
    menuFilter->addAction(actionResults);
    menuFilter->addSeparator();
    menuFilter->addAction(actionFilterEdit);
    menuFilter->addAction(actionFilterSave);
    menuFilter->addAction(actionFilterDel);
    menuSettings->addAction(actionOptions);
    mainToolBar->addAction(actionOpen);
    mainToolBar->addAction(actionResultsSave);
    mainToolBar->addAction(actionRefresh);
    tbFilterEdit->addAction(actionFilterEdit);

    retranslateUi(window);
}

void Ui_mainWindow::retranslateUi(QMainWindow *window)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("mainWindow", text); };
    const auto tips = [](QAction *action, const QString &tip) {
        action->setToolTip(tip);
        action->setStatusTip(tip);
    };
    window->setWindowTitle(tr("View audit"));

    actionExit->setText(tr("Exit"));
    actionExit->setStatusTip(tr("Exit"));
    actionExit->setShortcut(QKeySequence(tr("Ctrl+Q")));
    actionOpen->setText(tr("Open..."));
    tips(actionOpen, tr("Open log file"));
    actionOpen->setShortcut(QKeySequence(tr("Ctrl+O")));
    actionOptions->setText(tr("Options..."));
    tips(actionOptions, tr("Show program options"));
    actionResults->setText(tr("Apply"));
    tips(actionResults, tr("Apply current filter and show results in current tab"));
    actionResults->setShortcut(QKeySequence(tr("Space")));
    actionCancel->setText(tr("Cancel"));
    actionCancel->setShortcut(QKeySequence(tr("Esc")));
    actionFilterShow->setText(tr("Show Filter"));
    tips(actionFilterShow, tr("Show filter info panel"));
    actionFilterShow->setShortcut(QKeySequence(tr("Shift+F")));
    actionFileShow->setText(tr("Show Files"));
    tips(actionFileShow, tr("Show log files panel"));
    actionFileShow->setShortcut(QKeySequence(tr("Alt+F")));
    actionFilterEdit->setText(tr("Edit..."));
    actionFilterEdit->setIconText(tr("Edit"));
    tips(actionFilterEdit, tr("Edit current filter settings"));
    actionFilterEdit->setShortcut(QKeySequence(tr("Ctrl+E")));
    actionFilterSave->setText(tr("Save..."));
    tips(actionFilterSave, tr("Save current filter"));
    actionFilterSave->setShortcut(QKeySequence(tr("Ctrl+S")));
    actionFilterDel->setText(tr("Delete..."));
    tips(actionFilterDel, tr("Delete current filter"));
    actionFilterDel->setShortcut(QKeySequence(tr("Ctrl+Del")));
    actionRefresh->setText(tr("Refresh"));
    tips(actionRefresh, tr("Refresh log files panel"));
    actionFindShow->setText(tr("Find"));
    tips(actionFindShow, tr("Show find string panel"));
    actionFindShow->setShortcut(QKeySequence(tr("Ctrl+F")));
    actionNewTab->setText(tr("New tab"));
    tips(actionNewTab, tr("Open new tab"));
    actionNewTab->setShortcut(QKeySequence(tr("Ctrl+T")));
    actionResultsSave->setText(tr("Save..."));
    tips(actionResultsSave, tr("Save results in current tab to file"));
    actionResultsSave->setShortcut(QKeySequence(tr("Ctrl+Shift+S")));

    gbFilter->setTitle(tr("Filter info"));
    gbFile->setTitle(tr("Log files"));
    twFiles->horizontalHeaderItem(0)->setText(tr("File"));
    twFiles->horizontalHeaderItem(1)->setText(tr("First record date"));
    twFiles->horizontalHeaderItem(2)->setText(tr("Last record date"));
    twFiles->horizontalHeaderItem(3)->setText(tr("Size"));
    twFiles->setToolTip(tr("Log files list"));
    twFiles->setStatusTip(tr("Log files list"));
    gbFind->setTitle(tr("Find"));
    leFind->setToolTip(tr("Find string in current tab"));
    leFind->setStatusTip(tr("Find string in current tab"));
    btnBwd->setToolTip(tr("Find previous in current tab"));
    btnBwd->setStatusTip(tr("Find previous in current tab"));
    btnBwd->setText(QString());
    btnBwd->setShortcut(QKeySequence(tr("Shift+F3")));
    btnFwd->setToolTip(tr("Find next in current tab"));
    btnFwd->setStatusTip(tr("Find next in current tab"));
    btnFwd->setText(QString());
    btnFwd->setShortcut(QKeySequence(tr("F3")));
    menuFile->setTitle(tr("File"));
    menuView->setTitle(tr("View"));
    menuFilter->setTitle(tr("Filter"));
    menuSettings->setTitle(tr("Settings"));
    tbFilterEdit->setWindowTitle(tr("toolBar_2"));
}

void Ui_filterNameDialog::setupUi(QDialog *dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("filterNameDialog"));
    dialog->resize(332, 107);
    verticalLayout = new QVBoxLayout(dialog);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    frame = new QFrame(dialog);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameShape(QFrame::NoFrame);
    gridLayout = new QGridLayout(frame);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    leFilterName = new QLineEdit(frame);
    leFilterName->setObjectName(QStringLiteral("leFilterName"));
    gridLayout->addWidget(leFilterName, 0, 0, 1, 1);
    verticalLayout->addWidget(frame);
    verticalLayout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    buttonBox = new QDialogButtonBox(dialog);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    buttonBox->setOrientation(Qt::Horizontal);
    buttonBox->setStandardButtons(QDialogButtonBox::Cancel | QDialogButtonBox::Ok);
    verticalLayout->addWidget(buttonBox);

    retranslateUi(dialog);
    QObject::connect(buttonBox, SIGNAL(accepted()), dialog, SLOT(accept()));
    QObject::connect(buttonBox, SIGNAL(rejected()), dialog, SLOT(reject()));
}

void Ui_filterNameDialog::retranslateUi(QDialog *dialog)
{
    dialog->setWindowTitle(QCoreApplication::translate("filterNameDialog", "Filter name to save"));
}
