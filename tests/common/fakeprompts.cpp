// SPDX-License-Identifier: MIT
#include "common/fakeprompts.h"

namespace vdm::test {

bool FakePrompts::askYesNo(QWidget*, const QString& caption, const QString& text)
{
    questions << caption + QLatin1Char('|') + text;
    if (answers.empty())
        return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<QFont> FakePrompts::chooseFont(QWidget*, const QFont& initial)
{
    fontPresets << initial;
    if (fonts.empty())
        return std::nullopt;
    auto f = fonts.front();
    fonts.pop_front();
    return f;
}

std::optional<QColor> FakePrompts::chooseColor(QWidget*, const QColor& initial)
{
    colorPresets << initial;
    if (colors.empty())
        return std::nullopt;
    auto c = colors.front();
    colors.pop_front();
    return c;
}

std::optional<QString> FakePrompts::chooseFolder(QWidget*, const QString&, const QString& start)
{
    folderStarts << start;
    if (whileChoosingFolder)
        whileChoosingFolder();
    if (folders.empty())
        return std::nullopt;
    auto f = folders.front();
    folders.pop_front();
    return f;
}

namespace {

template <typename T> std::optional<T> next(std::deque<std::optional<T>>& queue)
{
    if (queue.empty())
        return std::nullopt;
    auto value = queue.front();
    queue.pop_front();
    return value;
}

} // namespace

std::optional<QString> FakePrompts::chooseFileToSave(QWidget*, const QString&, const QString& start, const QString&)
{
    fileStarts << start;
    return next(filesToSave);
}

std::optional<QString> FakePrompts::chooseFileToOpen(QWidget*, const QString&, const QString& start, const QString&)
{
    fileStarts << start;
    return next(filesToOpen);
}

std::optional<int> FakePrompts::askChoice(QWidget*, const QString& caption, const QString& text,
                                          const QStringList& choiceTexts)
{
    questions << caption + QLatin1Char('|') + text + QLatin1Char('|') + choiceTexts.join(QLatin1Char('|'));
    return next(choices);
}

std::optional<QString> FakePrompts::askText(QWidget*, const QString& caption, const QString& label,
                                            const QString& initial)
{
    questions << caption + QLatin1Char('|') + label + QLatin1Char('|') + initial;
    return next(texts);
}

} // namespace vdm::test
