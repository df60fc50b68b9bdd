// Basic host types and constants: time, class identity, reference results and
// messages, file results, block/parameter identifiers and the host version.
#pragma once

#include <cstdint>

#include "win_shim.h"

/// The host's character type and literal prefix.
typedef wchar_t MCHAR;
#ifndef _M
#define _M(text) L##text
#endif

// ---- Time ------------------------------------------------------------------

/// Host time: an integer count of ticks.
typedef int TimeValue;

constexpr TimeValue TIME_NegInfinity = INT32_MIN;  // 0x80000000
constexpr TimeValue TIME_PosInfinity = INT32_MAX;  // 0x7fffffff
/// Ticks in one second; a frame is 160 ticks at the default 30 frames a second.
constexpr int TIME_TICKSPERSEC = 4800;

// ---- Class identity --------------------------------------------------------

/// Super class ID: the family a class belongs to (texture map, parameter block ...).
typedef ULONG SClass_ID;

constexpr SClass_ID PARAMETER_BLOCK2_CLASS_ID = 0x82;
constexpr SClass_ID TEXMAP_CLASS_ID = 0xC10;
constexpr SClass_ID TEXOUTPUT_CLASS_ID = 0xC40;
/// Part A of the class ID of the standard texture-output filter.
constexpr ULONG STDTEXOUT_CLASS_ID = 0x100;

/// A class ID: two 32-bit halves, unique per class.
class Class_ID {
public:
    /// The invalid class ID (both halves all ones), as on the host.
    constexpr Class_ID() : a_(0xffffffffu), b_(0xffffffffu) {}
    constexpr Class_ID(ULONG a, ULONG b) : a_(a), b_(b) {}

    constexpr ULONG PartA() const { return a_; }
    constexpr ULONG PartB() const { return b_; }
    void SetPartA(ULONG a) { a_ = a; }
    void SetPartB(ULONG b) { b_ = b; }

    constexpr bool operator==(const Class_ID& other) const {
        return a_ == other.a_ && b_ == other.b_;
    }
    constexpr bool operator!=(const Class_ID& other) const { return !(*this == other); }
    /// Orders by part A, then part B.
    constexpr bool operator<(const Class_ID& other) const {
        return a_ < other.a_ || (a_ == other.a_ && b_ < other.b_);
    }

private:
    ULONG a_;
    ULONG b_;
};

// ---- References ------------------------------------------------------------

enum RefResult {
    REF_FAIL = 0,
    REF_SUCCEED = 1,
    REF_DONTCARE = 2,
    REF_STOP = 3,
    REF_INVALID = 4,
};

typedef unsigned int RefMessage;
constexpr RefMessage REFMSG_TARGET_DELETED = 0x20;
constexpr RefMessage REFMSG_CHANGE = 0x50;

/// Which parts of a target changed (pointer-sized, as on the host).
typedef ULONG_PTR PartID;
constexpr PartID PART_TEXMAP = PartID(1) << 2;
constexpr PartID PART_ALL = 0x800037FF;

/// Super-class filter of NotifyDependents that lets every dependent through.
constexpr SClass_ID NOTIFY_ALL = 0xFFFFFFF0;

// ---- Files -----------------------------------------------------------------

enum IOResult {
    IO_OK = 0,
    IO_END = 1,
    IO_ERROR = 2,
};

// ---- Parameter blocks --------------------------------------------------------

typedef short BlockID;
typedef short ParamID;
typedef short MapID;
typedef INT_PTR StringResID;

// ---- Host version ------------------------------------------------------------

#define MAX_RELEASE 29000
#define MAX_API_NUM 70
#define MAX_SDK_REV 0
/// (release << 16) + (API number << 8) + SDK revision: 0x71484600.
#define VERSION_3DSMAX ((MAX_RELEASE << 16) + (MAX_API_NUM << 8) + MAX_SDK_REV)
#define GET_MAX_RELEASE(version) (((version) >> 16) & 0xffff)
#define GET_MAX_API_NUM(version) (((version) >> 8) & 0xff)
#define GET_MAX_SDK_REV(version) ((version)&0xff)
