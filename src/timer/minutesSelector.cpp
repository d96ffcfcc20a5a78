#include "app/basGeneral.h"
#include "app/frmMain.h"
#include "minutesText.h"
#include "platform/messageBox.h"
#include "platform/windowHelpers.h"

#include <QComboBox>

using namespace Qt::StringLiterals;
using namespace platform;

namespace basGeneral {

void FillMinutesList()
{
    QComboBox *box = mainForm().cboMinutes;
    box->clear();
    // Not sorted: "5" stands before "10".
    for (const char16_t *preset : {u"0", u"1", u"2", u"3", u"5", u"10", u"15", u"20", u"30", u"45",
                                   u"50", u"60", u"90", u"120"})
        box->addItem(QString::fromUtf16(preset));
    box->setEditText(minutesText::defaultText());
    DisableMinutes();
}

void EnableMinutes()
{
    mainForm().cboMinutes->setEnabled(true);
    setBackgroundColour(mainForm().cboMinutes, COLOR_WINDOW);
}

void DisableMinutes()
{
    mainForm().cboMinutes->setEnabled(false);
    setBackgroundColour(mainForm().cboMinutes, COLOR_SCROLLBAR);
}

} // namespace basGeneral

void frmMain::cboMinutes_LostFocus()
{
    const minutesText::Check result = minutesText::check(cboMinutes->currentText());
    if (result.verdict != minutesText::Verdict::Accepted)
        messageBox(minutesText::messageFor(result.verdict), MB_ICONERROR);
    if (cboMinutes->currentText() != result.text)
        cboMinutes->setEditText(result.text);
}
