// SPDX-License-Identifier: MIT
#include "edit/notetext.h"

#include "data/codepage.h"
#include "data/textconv.h"

namespace vdm {

QString sanitizeNoteInput(const QString& text)
{
    QString oneLine;
    oneLine.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            oneLine.append(QLatin1Char(' '));
        } else {
            oneLine.append(c);
        }
    }
    return CodePage::filter(oneLine);
}

QByteArray storedNote(const QString& editorText)
{
    return Trim(CodePage::encode(editorText)).toByteArray();
}

} // namespace vdm
