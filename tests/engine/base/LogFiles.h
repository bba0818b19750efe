#pragma once

#include <QTemporaryDir>

#include <fstream>
#include <sstream>
#include <string>

// A scratch folder for certification logs, and the text of a file in it.
class LogFolder {
public:
    std::string path() const { return dir_.path().toStdString(); }
    std::string file(std::string const& name) const { return path() + "/" + name; }

    std::string contents(std::string const& name) const
    {
        std::ifstream in(file(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    QTemporaryDir dir_;
};
