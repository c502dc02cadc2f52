#pragma once
// Giving a device a COM number: the link com<n> in the configuration folder
// (ZirConfigDir()), which the port naming rule then opens for port n.

#include <QString>

namespace zir {

// What the name com<n> is now.
struct ComLink {
    bool exists = false; // the name is there (a link counts even when dangling)
    bool isLink = false;
    QString target; // what the link holds, as written; "" for no link
};
ComLink ReadComLink(int n);

// Makes com<n> a link to `target`, in place of a link that is there; the
// configuration folder is created when missing. The link is made under a
// temporary name and renamed over the old one, so com<n> always names one
// device or the other. Throws EFileError when com<n> is something other than
// a link (it is left alone) or the link cannot be made.
void AssignComLink(int n, const QString& target);

// Removes the link com<n>. Nothing there: nothing to do. Throws EFileError
// when com<n> is no link (it is left alone) or cannot be removed.
void RemoveComLink(int n);

} // namespace zir
