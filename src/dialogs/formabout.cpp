// SPDX-License-Identifier: MIT
#include "dialogs/formabout.h"

#include "dialogs/errorguard.h"

#include "cli/commandline.h"
#include "data/codepage.h"
#include "data/errors.h"
#include "data/installlayout.h"
#include "data/regularfile.h"

#include "ui_formabout.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QShowEvent>
#include <QStringDecoder>

#include <algorithm>

// The flags live in a static library, whose resource initialiser the linker would
// otherwise drop; it has to be called from the global namespace.
static void initDialogResources()
{
    Q_INIT_RESOURCE(dialogs);
}

namespace vdm {

namespace {

using Form = Ui::TFormAbout;

struct LanguageRow {
    QPushButton* Form::*button;
    const char* fileName;
};
constexpr LanguageRow LanguageRows[] = {
    {&Form::ButtonEng, "readme.txt"},
    {&Form::ButtonRus, "readmerus.txt"},
    {&Form::ButtonFra, "readmefr.txt"},
};

} // namespace

TFormAbout::TFormAbout(QString applicationDirectory, Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_appDir(std::move(applicationDirectory)), m_prompts(prompts),
      m_ui(std::make_unique<Ui::TFormAbout>())
{
    initDialogResources();
    m_ui->setupUi(this);

    // A .ui font cannot carry a pixel size or a style hint. Hosts without the classic
    // bitmap face fall back to the system's fixed-pitch font.
    QFont font(QStringLiteral("Fixedsys"));
    font.setFamilies({QStringLiteral("Fixedsys"), QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(11);
    m_ui->MemoAbout->setFont(font);
    m_ui->MemoAbout->verticalScrollBar()->setAccessibleName(QStringLiteral("Scroll the read-me"));

    for (const LanguageRow& row : LanguageRows) {
        QPushButton* button = (*m_ui).*row.button;
        connect(button, &QPushButton::clicked, this,
                [this, button] { guarded(m_prompts, this, [&] { SelectLang(button); }); });
    }
    connect(m_ui->ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    // Below the read-me, beside Ok: which program the text describes.
    m_ui->LabelVersion->setText(QStringLiteral("Version %1").arg(cli::version()));
    // Assistive technology reads a label's name: the whole line, the number with it.
    m_ui->LabelVersion->setAccessibleName(m_ui->LabelVersion->text());
    nameReadme(m_ui->ButtonEng->text());
}

TFormAbout::~TFormAbout() = default;

void TFormAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded(m_prompts, this, [this] { FormShow(); });
}

QString TFormAbout::decodeReadme(const QByteArray& bytes)
{
    QString text;
    const bool ascii
        = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        // Stateless: a sequence cut off at the end of the file counts as invalid too.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(bytes);
        if (utf8.hasError())
            text.clear();
    }
    if (text.isEmpty())
        text = CodePage::decode(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void TFormAbout::loadFile(const QString& fileName)
{
    const QString path = InstallLayout::readmeFile(m_appDir, fileName);
    RegularFile file(path);
    const std::optional<QByteArray> bytes = file.readAll();
    if (!bytes)
        throwCannotOpen(path);
    QString text = decodeReadme(*bytes);
    // The box holds the file's lines; the last line's end is no extra empty line.
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    m_ui->MemoAbout->setPlainText(text);
}

void TFormAbout::FormShow()
{
    // The focus moves to Ok even when the file cannot be read; the error still shows.
    struct FocusOk {
        QPushButton* ok;
        ~FocusOk() { ok->setFocus(); }
    } focus{m_ui->ButtonOk};
    if (m_ui->MemoAbout->document()->isEmpty()) {
        nameReadme(m_ui->ButtonEng->text());
        loadFile(QStringLiteral("readme.txt"));
    }
}

void TFormAbout::nameReadme(const QString& language)
{
    // The buttons show no choice: the box's name says which read-me it holds.
    m_ui->MemoAbout->setAccessibleName(QStringLiteral("Read-me, %1").arg(language));
}

void TFormAbout::SelectLang(QAbstractButton* sender)
{
    for (const LanguageRow& row : LanguageRows) {
        if ((*m_ui).*row.button != sender)
            continue;
        m_ui->MemoAbout->clear();
        nameReadme(sender->text());
        loadFile(QString::fromLatin1(row.fileName));
        return;
    }
}

} // namespace vdm
