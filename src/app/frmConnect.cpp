#include "frmConnect.h"

#include "connectPresets.h"
#include "irc/channelName.h"
#include "platform/messageBox.h"
#include "platform/windowHelpers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace platform;

namespace {

QLabel *makeLabel(const QString &text, QWidget *parent, int left, int top, int width, int height)
{
    auto *label = new QLabel(text, parent);
    placeInTwips(label, left, top, width, height);
    return label;
}

QComboBox *makeCombo(bool editable, QWidget *parent, int left, int top, int width, int height)
{
    auto *box = new QComboBox(parent);
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a typed "#Durmast" into a preset that merely begins so.
    if (editable)
        box->setCompleter(nullptr);
    placeInTwips(box, left, top, width, height);
    return box;
}

void fill(QComboBox *box, const QStringList &entries, const QString &text)
{
    box->clear();
    box->addItems(entries);
    box->setCurrentText(text);
    // Show a long preset from its beginning.
    if (QLineEdit *edit = box->lineEdit())
        edit->setCursorPosition(0);
}

QPushButton *makeButton(const QString &text, QWidget *parent, int left, int top, int height = 375)
{
    auto *button = new QPushButton(text, parent);
    // Qt would make one of them the dialog's default button; Enter is handled by the dialog.
    button->setAutoDefault(false);
    placeInTwips(button, left, top, 1335, height);
    return button;
}

} // namespace

frmConnect::frmConnect()
    : QDialog(nullptr,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
{
    setObjectName(u"frmConnect"_s);
    setWindowTitle(u"IRCサーバ接続"_s);
    setWindowIcon(programIcon());
    setFont(japaneseFont(9));
    setModal(true);
    setFixedSize(twipsToPixels(4410), twipsToPixels(3000));
    // The window's own top-left corner, frame included, at the screen's.
    move(0, 0);

    lblServer = makeLabel(u"接続サーバ"_s, this, 120, 160, 1335, 255);
    cboServer = makeCombo(true, this, 1080, 120, 1815, 300);
    lblPort = makeLabel(u"ポート"_s, this, 3000, 165, 495, 255);
    cboPort = makeCombo(true, this, 3480, 120, 855, 300);
    cboPort->lineEdit()->setValidator(new QIntValidator(1, 65535, cboPort));
    lblNick = makeLabel(u"ニックネーム"_s, this, 120, 525, 1335, 255);
    txtNick = new QLineEdit(connectPresets::initialNick(), this);
    placeInTwips(txtNick, 1200, 480, 975, 270);
    lblChannel = makeLabel(u"#ch"_s, this, 2280, 525, 495, 255);
    cboChannel = makeCombo(true, this, 2640, 480, 1695, 300);
    lblEncoding = makeLabel(u"文字コード"_s, this, 120, 885, 1335, 255);
    cboEncoding = makeCombo(false, this, 1200, 840, 1695, 300);
    // Short names that fit the narrow box; the full name is the tooltip and what a screen
    // reader says.
    const std::tuple<QString, QString, WireEncoding> encodings[]
        = {{u"CP932"_s, u"CP932 (Shift_JIS)"_s, WireEncoding::Cp932},
           {u"ISO-2022-JP"_s, u"ISO-2022-JP (JIS)"_s, WireEncoding::Iso2022Jp},
           {u"UTF-8"_s, u"UTF-8"_s, WireEncoding::Utf8}};
    for (const auto &[shortName, fullName, encoding] : encodings) {
        cboEncoding->addItem(shortName, int(encoding));
        cboEncoding->setItemData(cboEncoding->count() - 1, fullName, Qt::ToolTipRole);
        cboEncoding->setItemData(cboEncoding->count() - 1, fullName, Qt::AccessibleTextRole);
    }
    const auto showFullName
        = [this] { cboEncoding->setToolTip(cboEncoding->currentData(Qt::ToolTipRole).toString()); };
    showFullName();
    connect(cboEncoding, &QComboBox::currentIndexChanged, this, showFullName);
    chkTls = new QCheckBox(u"TLSを使う"_s, this);
    placeInTwips(chkTls, 3000, 870, 1335, 255);
    lblAccount = makeLabel(u"アカウント名"_s, this, 120, 1245, 1335, 255);
    txtAccount = new QLineEdit(this);
    txtAccount->setToolTip(u"SASLでログインするアカウント（なければ空欄）"_s);
    placeInTwips(txtAccount, 1200, 1200, 1695, 270);
    lblPassword = makeLabel(u"パスワード"_s, this, 120, 1605, 1335, 255);
    txtPassword = new QLineEdit(this);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setToolTip(
        u"アカウント名があればアカウントのパスワード、なければサーバのパスワード"_s);
    placeInTwips(txtPassword, 1200, 1560, 1695, 270);
    lblCertificate = makeLabel(u"証明書"_s, this, 120, 1965, 1335, 255);
    txtCertificate = new QLineEdit(this);
    txtCertificate->setToolTip(
        u"SASL EXTERNALでログインするクライアント証明書と秘密鍵のPEMファイル（TLSのみ）"_s);
    placeInTwips(txtCertificate, 1200, 1920, 1695, 270);
    // As high as the box beside it.
    cmdCertificate = makeButton(u"参照..."_s, this, 3000, 1905, 300);
    cmdCancel = makeButton(u"キャンセル"_s, this, 480, 2520);
    cmdConnect = makeButton(u"接続"_s, this, 2640, 2520);

    const std::pair<QWidget *, const char16_t *> names[] = {{lblServer, u"lblServer"},
                                                            {cboServer, u"cboServer"},
                                                            {lblPort, u"lblPort"},
                                                            {cboPort, u"cboPort"},
                                                            {lblNick, u"lblNick"},
                                                            {txtNick, u"txtNick"},
                                                            {lblChannel, u"lblChannel"},
                                                            {cboChannel, u"cboChannel"},
                                                            {lblEncoding, u"lblEncoding"},
                                                            {cboEncoding, u"cboEncoding"},
                                                            {chkTls, u"chkTls"},
                                                            {lblAccount, u"lblAccount"},
                                                            {txtAccount, u"txtAccount"},
                                                            {lblPassword, u"lblPassword"},
                                                            {txtPassword, u"txtPassword"},
                                                            {lblCertificate, u"lblCertificate"},
                                                            {txtCertificate, u"txtCertificate"},
                                                            {cmdCertificate, u"cmdCertificate"},
                                                            {cmdCancel, u"cmdCancel"},
                                                            {cmdConnect, u"cmdConnect"}};
    for (const auto &[widget, name] : names)
        widget->setObjectName(QString::fromUtf16(name));

    // Spoken names: each label names its box, and "#ch" is read out as what it means.
    nameBox(lblServer, cboServer);
    nameBox(lblPort, cboPort);
    nameBox(lblNick, txtNick);
    nameBox(lblChannel, cboChannel, u"チャンネル"_s);
    nameBox(lblEncoding, cboEncoding);
    nameBox(lblAccount, txtAccount);
    nameBox(lblPassword, txtPassword);
    nameBox(lblCertificate, txtCertificate);

    setTabOrder(cmdConnect, cmdCancel);
    setTabOrder(cmdCancel, txtNick);
    setTabOrder(txtNick, cboServer);
    setTabOrder(cboServer, cboPort);
    setTabOrder(cboPort, cboChannel);
    setTabOrder(cboChannel, cboEncoding);
    setTabOrder(cboEncoding, chkTls);
    setTabOrder(chkTls, txtAccount);
    setTabOrder(txtAccount, txtPassword);
    setTabOrder(txtPassword, txtCertificate);
    setTabOrder(txtCertificate, cmdCertificate);

    for (QWidget *box : {static_cast<QWidget *>(cboServer), static_cast<QWidget *>(txtNick),
                         static_cast<QWidget *>(cboChannel), static_cast<QWidget *>(cboPort)})
        box->installEventFilter(this);
    // An editable box keeps its list's place apart from its text: without this, Down from a
    // shown 6664 went to the entry after the first.
    connect(cboPort, &QComboBox::editTextChanged, this, [this](const QString &text) {
        const int at = cboPort->findText(text);
        if (at >= 0 && at != cboPort->currentIndex())
            cboPort->setCurrentIndex(at);
    });
    connect(chkTls, &QCheckBox::clicked, this, &frmConnect::chkTls_Click);
    connect(cmdCertificate, &QPushButton::clicked, this, &frmConnect::cmdCertificate_Click);
    connect(cmdConnect, &QPushButton::clicked, this, &frmConnect::cmdConnect_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConnect::cmdCancel_Click);
}

void frmConnect::suggestNickname(const QString &nick)
{
    txtNick->setText(nick);
}

void frmConnect::Form_Load(const ConnectionChoice &last)
{
    FillServerList();
    FillPortList(last.port);
    FillChannelList();
    // The settings of the last connect, kept for this run only.
    cboEncoding->setCurrentIndex(cboEncoding->findData(int(last.encoding)));
    chkTls->setChecked(last.tls);
    txtPassword->setText(last.password);
    txtAccount->setText(last.account);
    txtCertificate->setText(last.certificateFile);
}

void frmConnect::FillServerList()
{
    fill(cboServer, connectPresets::serverHosts(), connectPresets::defaultHost());
}

void frmConnect::FillPortList(const QString &lastPort)
{
    fill(cboPort, connectPresets::ports(),
         lastPort.isEmpty() ? connectPresets::defaultPort() : lastPort);
}

void frmConnect::FillChannelList()
{
    fill(cboChannel, connectPresets::channels(), connectPresets::defaultChannel());
}

void frmConnect::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    cmdConnect->setFocus();
}

void frmConnect::cboServer_LostFocus()
{
    if (cboServer->currentText().isEmpty())
        cboServer->setEditText(connectPresets::defaultHost());
}

void frmConnect::txtNick_LostFocus()
{
    if (txtNick->text().isEmpty())
        txtNick->setText(connectPresets::fallbackNick());
}

void frmConnect::cboChannel_LostFocus()
{
    if (cboChannel->currentText().isEmpty())
        cboChannel->setEditText(connectPresets::defaultChannel());
}

void frmConnect::cboPort_LostFocus()
{
    if (!cboPort->lineEdit()->hasAcceptableInput())
        cboPort->setEditText(chkTls->isChecked() ? connectPresets::defaultTlsPort()
                                                 : connectPresets::defaultPort());
}

void frmConnect::chkTls_Click()
{
    const QString port = cboPort->currentText();
    if (chkTls->isChecked() && connectPresets::isPlainTextPreset(port))
        cboPort->setEditText(connectPresets::defaultTlsPort());
    else if (!chkTls->isChecked() && port == connectPresets::defaultTlsPort())
        cboPort->setEditText(connectPresets::defaultPort());
}

void frmConnect::cmdCertificate_Click()
{
    const QString file
        = QFileDialog::getOpenFileName(this, u"クライアント証明書"_s, txtCertificate->text(),
                                       u"PEMファイル (*.pem *.crt *.key);;すべてのファイル (*)"_s);
    if (!file.isEmpty())
        txtCertificate->setText(QDir::toNativeSeparators(file));
}

bool frmConnect::accountMayGo()
{
    const bool certificate = !txtCertificate->text().trimmed().isEmpty();
    if (certificate && !chkTls->isChecked()) {
        messageBox(
            u"クライアント証明書はTLSの接続でのみ使えます。\r\n「TLSを使う」を選んでください。"_s,
            MB_ICONEXCLAMATION, windowTitle());
        return false;
    }
    if (txtAccount->text().trimmed().isEmpty() || certificate || chkTls->isChecked())
        return true;
    return messageBox(u"TLSを使わないため、アカウントのパスワードが暗号化されずにネットワークを通り"
                      u"ます。\r\nこのまま接続しますか？"_s,
                      MB_CONFIRM, windowTitle())
        == IDOK;
}

void frmConnect::cmdConnect_Click()
{
    if (!accountMayGo())
        return;
    cboChannel->setEditText(normaliseChannel(cboChannel->currentText()));
    ConnectionChoice choice;
    choice.server = cboServer->currentText();
    choice.port = cboPort->currentText();
    choice.nick = txtNick->text();
    choice.channel = cboChannel->currentText();
    choice.encoding = WireEncoding(cboEncoding->currentData().toInt());
    choice.tls = chkTls->isChecked();
    choice.password = txtPassword->text();
    choice.account = txtAccount->text().trimmed();
    choice.certificateFile = txtCertificate->text().trimmed();
    emit connectChosen(choice);
    Unload();
}

void frmConnect::cmdCancel_Click()
{
    Unload();
}

void frmConnect::Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    emit unloaded();
    done(QDialog::Rejected);
    deleteLater();
}

void frmConnect::closeEvent(QCloseEvent *event)
{
    Unload();
    event->accept();
}

void frmConnect::keyPressEvent(QKeyEvent *event)
{
    // The dialog has no default and no cancel button: Enter presses the focused button and
    // means nothing elsewhere, and Escape means nothing.
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()))
            button->click();
        event->accept();
        return;
    }
    if (key == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmConnect::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == cboPort && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            const int next = connectPresets::adjacentPortIndex(cboPort->currentText(),
                                                               key == Qt::Key_Down ? 1 : -1);
            if (next >= 0)
                cboPort->setEditText(cboPort->itemText(next));
            return true;
        }
    }
    if (isLossOfFocus(event)) {
        if (watched == cboServer)
            cboServer_LostFocus();
        else if (watched == txtNick)
            txtNick_LostFocus();
        else if (watched == cboChannel)
            cboChannel_LostFocus();
        else if (watched == cboPort)
            cboPort_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}
