// The Start-menu program group of the desktop installation: the suite's own
// shortcuts in it, then the folder when nothing else is left there.
#include <cstring>

#include "desktop/desktop.h"
#include "desktop/path_checks.h"
#include "services/folders.h"
#include "services/machine_changes.h"
#include "services/path_text.h"
#include "services/run_context.h"
#include "services/run_log.h"

namespace {

// The group name comes from the registry and is joined below the Programs
// folder. A name that could leave that folder (a drive, or a "." or ".."
// component) names no program group of this suite.
bool IsGroupNameUsable(const char* name)
{
    return name[0] != '\0' && !std::strchr(name, ':') && !HasDotComponent(name);
}

// Programs folder + group name; false when either is unusable, when it does
// not fit, or when the folder is not one a program group of this suite can be:
// a folder of the system's own (the Startup folder below Programs), a name
// that Windows would shorten to another folder (a trailing dot or blank names
// its parent, " " the Programs folder itself), or a folder link.
bool BuildGroupFolder(char* path, size_t size)
{
    std::memset(path, 0, size);
    if (!IsGroupNameUsable(runContext.programGroupName)) return false;
    if (!GetProgramsFolder(path)) return false;
    return AppendText(path, size, runContext.programGroupName) && IsOrdinaryFolder(path);
}

}  // namespace

// Deletes "<Programs>\<group>\<name>.LNK" for each of the suite's group
// shortcut names, resolving the Programs folder anew for each. Attributes are
// left as they are, so a read-only shortcut stays.
void DeleteGroupShortcuts()
{
    for (int i = 0; i < kGroupShortcutCount; ++i) {
        char folder[kPathSize];
        char name[kPathSize];
        char path[kPathSize];
        if (!BuildGroupFolder(folder, sizeof folder)) continue;
        if (!CopyText(name, sizeof name, runContext.groupShortcutNames[i]) ||
            !AppendText(name, sizeof name, ".LNK") ||
            !JoinPathOrLog(path, sizeof path, folder, name, "delete file"))
            continue;
        RemoveFile(path, kKeepAttributes);
    }
}

// Removes the group folder itself, only when it is empty.
void RemoveProgramGroup()
{
    char path[kPathSize];
    if (!BuildGroupFolder(path, sizeof path)) return;
    RemoveEmptyFolder(path);
}
