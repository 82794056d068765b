// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/prompts.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <functional>
#include <vector>

namespace benchmark {
class State;
}

namespace vdm::bench {

/** Answers every box silently (No, cancelled) and counts the errors, printing them. */
class CountingPrompts : public Prompts {
public:
    void showError(QWidget*, const QString& text) override;
    void showMessage(QWidget*, const QString&, const QString&, Icon) override {}
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(QWidget*, const QColor&) override { return std::nullopt; }
    std::optional<QString> chooseFolder(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> chooseFileToSave(QWidget*, const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> chooseFileToOpen(QWidget*, const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<int> askChoice(QWidget*, const QString&, const QString&, const QStringList&) override
    {
        return std::nullopt;
    }
    std::optional<QString> askText(QWidget*, const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    int errors = 0;
};

/** Writes a whole file or aborts: a benchmark on half-written data measures nothing. */
void writeBytes(const QString& path, const QByteArray& bytes);

/** A whole file's bytes, or aborts. */
QByteArray readBytes(const QString& path);

/** The floor of every reader: the lines of the bytes, counted with memchr. */
std::size_t memchrLines(const QByteArray& bytes);

/** The floor of every save: one plain write of the bytes and an fsync, no rename. */
bool plainWriteAndSync(const QString& path, const QByteArray& bytes);

/** The middle value (the upper one of an even count); 0 for none. */
double median(std::vector<double> values);

/**
 * Samples of a figure and of its floor, taken in turn so both see the same machine;
 * reported as medians (each_<unit>, floor_<unit>) with their ratio (x_floor).
 */
struct Samples {
    std::vector<double> figure, floor;
    void add(double f, double fl)
    {
        figure.push_back(f);
        floor.push_back(fl);
    }
    void report(benchmark::State& state, const char* unit = "us") const;
};

/**
 * Runs the registered benchmarks inside a QApplication on the offscreen platform;
 * `beforeExit` tears down what must go before the application object.
 */
int runBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit = {});

} // namespace vdm::bench
