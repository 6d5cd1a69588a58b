#pragma once

#include <string_view>

namespace tamrel {

// The gallery's fixture folders at the same paths on every run, so the paths the screens show
// (the path bar's root folder) do not change its pictures.
//
// Where it may (as root), the gallery runs in a mount namespace of its own with a fresh tmpfs on
// /tmp, and in a process namespace of its own (the programs other tests start are then never
// running programs to its models): folders there can have fixed names that nothing else meets.
// Elsewhere its folders are named by mkdtemp under $TMPDIR, and those paths vary from run to run.

// Enters the namespaces and mounts the tmpfs. Call first in main(), while the process has one
// thread; anything under /tmp the process still needs (its output folder) is opened before.
// False where the kernel or the process's rights refuse the tmpfs: folders then go where they
// would. (Without the process namespace alone the paths are still fixed.)
bool enterFixedPaths();

// The name to make a fixture folder under (TempDir(std::string_view)): `name` once
// enterFixedPaths() succeeded, else empty (a unique name).
std::string_view fixedName(std::string_view name);

}  // namespace tamrel
