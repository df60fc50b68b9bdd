// The plug-in's one door to its host. Every plug-in file reaches the host SDK
// and the platform only through this header: against the real SDK on Windows,
// against the stand-in host elsewhere. The stand-in mirrors the SDK's header
// names, so only the platform headers differ here.
#pragma once

#ifdef NACRELLE_STANDIN_HOST
#include <win_shim.h>
#else
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#endif

#include <max.h>
#include <iparamb2.h>
#include <iparamm2.h>
#include <imtl.h>
#include <stdmat.h>
#include <plugapi.h>

// Entry points are found by undecorated name: a .def file exports them on
// Windows (the stand-in host's Windows build included); elsewhere they are
// the only symbols the module makes visible.
#if defined(NACRELLE_STANDIN_HOST) && !defined(_WIN32)
#define NACRELLE_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define NACRELLE_EXPORT extern "C"
#endif
