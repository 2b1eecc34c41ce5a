// The COM declarations the browser group's classes are built on (Windows only).
#pragma once

// windows.h first: the others build on its types.
#include <windows.h>

#include <mshtmhst.h>
#include <oaidl.h>
#include <ole2.h>
