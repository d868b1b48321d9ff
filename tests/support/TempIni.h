// A tirevo.INI of the test's own, in a temporary folder that goes with it.
#pragma once

#include "FileBytes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <string>

class TempIni {
public:
    // Writes the text as the whole file and gives its path.
    std::string Write(const std::string& text) const
    {
        EXPECT_TRUE(WriteFile(path_, text));
        return path_;
    }

private:
    QTemporaryDir dir_;
    std::string path_ = QDir(dir_.path()).filePath(QStringLiteral("tirevo.INI")).toStdString();
};
