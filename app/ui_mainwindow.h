// The widget tree of the main window, built the way a generated form is:
// setupUi() creates and lays out the widgets, retranslateUi() sets their
// texts in the translation context "mainWindow".
#ifndef UI_MAINWINDOW_H
#define UI_MAINWINDOW_H

class QAction;
class QFrame;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QToolBar;
class QVBoxLayout;
class QWidget;

class Ui_mainWindow
{
public:
    QAction *actionExit;
    QAction *actionOpen;
    QAction *actionOptions;
    QAction *actionResults;
    QAction *actionCancel;
    QAction *actionFilterShow;
    QAction *actionFileShow;
    QAction *actionFilterEdit;
    QAction *actionFilterSave;
    QAction *actionFilterDel;
    QAction *actionRefresh;
    QAction *actionFindShow;
    QAction *actionNewTab;
    QAction *actionResultsSave;
    QWidget *centralWidget;
    QGridLayout *gridLayout_3;
    QSplitter *splitterH;
    QFrame *frameLeft;
    QGridLayout *gridLayout_2;
    QSplitter *splitterV;
    QGroupBox *gbFilter;
    QVBoxLayout *verticalLayout;
    QLabel *lbFilter;
    QGroupBox *gbFile;
    QGridLayout *gridLayout;
    QTableWidget *twFiles;
    QWidget *layoutWidget;
    QVBoxLayout *verticalLayout_2;
    QGroupBox *gbFind;
    QGridLayout *gridLayout_4;
    QHBoxLayout *horizontalLayout;
    QLineEdit *leFind;
    QPushButton *btnBwd;
    QPushButton *btnFwd;
    QTabWidget *twLogResult;
    QMenuBar *menuBar;
    QMenu *menuFile;
    QMenu *menuView;
    QMenu *menuFilter;
    QMenu *menuSettings;
    QToolBar *mainToolBar;
    QStatusBar *statusBar;
    QToolBar *tbFilterEdit;

    void setupUi(QMainWindow *window);
    void retranslateUi(QMainWindow *window);
};

namespace Ui {
class mainWindow : public Ui_mainWindow {};
}

// The small dialog that asks for the name to save a filter under.
class QDialog;
class QDialogButtonBox;

class Ui_filterNameDialog
{
public:
    QVBoxLayout *verticalLayout;
    QFrame *frame;
    QGridLayout *gridLayout;
    QLineEdit *leFilterName;
    QDialogButtonBox *buttonBox;

    void setupUi(QDialog *dialog);
    void retranslateUi(QDialog *dialog);
};

namespace Ui {
class filterNameDialog : public Ui_filterNameDialog {};
}

#endif
