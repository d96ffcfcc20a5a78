#pragma once

#include <QString>
#include <QStringList>

// Some conditions only a private namespace can make, even for root: a read-only runtime folder,
// a network that drops packets. The test function runs again, same data row, in a child process
// inside new namespaces (unshare; without root a user namespace grants them), after a shell
// command that sets the condition up.
namespace namespaceRerun {

// True in the child.
bool isRerun();

// For a private network namespace ("-n", with "-m"): loopback up, and names looked up at
// 127.0.0.1, where a test's NameServer answers at once.
QString loopbackOnlySetup();

// namespaces: unshare's flags, such as "-m" or "-n". Empty on success, else what the child said.
QString rerun(const QStringList &namespaces, const QString &setup, int timeoutMs = 120000);

} // namespace namespaceRerun
