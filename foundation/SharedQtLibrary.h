#pragma once

#include <QCoreApplication>
#include <QObject>

#include <memory>

namespace vorsam {

// Makes a Qt core application for hosts that have none, and deletes it again
// unless the host has made one of its own since.
class SharedQtLibrary : public QObject {
    Q_OBJECT
public:
    SharedQtLibrary();
    ~SharedQtLibrary() override;

    // True unless it holds an application made on another thread: only there
    // can the application's event dispatcher end.
    bool onItsOwnThread() const;

private:
    std::unique_ptr<QCoreApplication> application_;
};

// Called before the holder deletes its application; a host may supply its
// own and release or reset the pointer. The library's version does nothing.
__attribute__((visibility("default"))) void cleanupQtApp(std::unique_ptr<QCoreApplication>& application);

} // namespace vorsam
