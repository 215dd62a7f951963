#pragma once
// File names between the window (QString) and the layers below it (std::string): UTF-8 on
// Windows, where those layers open files wide; the local 8-bit encoding elsewhere, which is
// how the system names files.

#include <QString>
#include <string>

namespace tarnel {

inline QString PathToQString(const std::string& path) {
#ifdef _WIN32
    return QString::fromStdString(path);
#else
    return QString::fromLocal8Bit(path.c_str());
#endif
}

inline std::string PathFromQString(const QString& path) {
#ifdef _WIN32
    return path.toStdString();
#else
    return path.toLocal8Bit().toStdString();
#endif
}

}  // namespace tarnel
