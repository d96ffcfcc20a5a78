#pragma once

#include <QWidget>

class LogView;
class QPushButton;

// The raw record of everything the server sent. The window object lives as long as the
// process; its controls exist only while it is loaded, and strSavedLog carries the text
// across unloads.
class frmServerLog : public QWidget
{
    Q_OBJECT
public:
    frmServerLog();

    bool isLoaded() const { return txtRec != nullptr; }
    // Loading creates the controls hidden; showing loads first if needed.
    void Load();
    void Show();
    void Unload();

    LogView *txtRec = nullptr;
    QPushButton *cmdClearLog = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();
    void cmdClearLog_Click();

    QString strSavedLog;
    bool m_savedEndsInCarriageReturn = false;
};
