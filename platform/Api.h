#pragma once

// Types and functions of the platform runtime and of the host framework contract keep default
// visibility, so that their type information is one across the shared libraries of a process.
#define PLATFORM_API __attribute__((visibility("default")))
