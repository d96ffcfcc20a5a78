#pragma once

class QCoreApplication;

// Qt's own texts (standard buttons, context menus, its dialogs) in Japanese, whatever the
// system's language, since every other word on screen is Japanese. Looked for beside the
// program first (the Windows build ships it in translations/), then in Qt's own folder. Returns
// whether it was found; without it Qt keeps its English texts.
bool installQtTranslation(QCoreApplication &app);
