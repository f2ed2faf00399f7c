#pragma once

#include <string>

/*  The few Foundation and AppKit services that the file code uses, as plain
    functions. On this platform there is no Objective-C runtime: the trash is the
    freedesktop trash of the user's home, and autorelease pools have nothing to
    collect. */

/** Creates an autorelease pool; the handle is given back to NSAutoreleasePoolRelease. */
void* NSAutoreleasePoolCreate() noexcept;

/** Releases a pool made by NSAutoreleasePoolCreate; a null handle is ignored. */
void NSAutoreleasePoolRelease (void* pool) noexcept;

/** The workspace's recycle operation for one item: moves folder/name into the user's
    trash (~/.local/share/Trash, with its .trashinfo record) under a name that is free
    there, creating the trash when it is missing. Falls back to copy and delete when the
    trash lies on another file system. True when the item has left its folder. */
bool NSWorkspaceRecycleFile (const std::string& folder, const std::string& name) noexcept;

/** fileExistsAtPath: true when something exists at the path, following symbolic links. */
bool NSFileManagerFileExistsAtPath (const std::string& path) noexcept;

/** copyItemAtPath:toPath: copies a file, a symbolic link or a whole folder, keeping the
    permission bits. Fails when something already stands at the target; a failed copy
    leaves nothing behind at the target. */
bool NSFileManagerCopyItem (const std::string& source, const std::string& target) noexcept;
