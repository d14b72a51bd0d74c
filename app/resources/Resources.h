#pragma once

// Registers the program's images (":/images/...") with the resource system.
// They are compiled into a static library, whose resource initialiser the
// linker would otherwise drop; call before the first image is used. Calling
// again does nothing.
void loadOrvelResources();
