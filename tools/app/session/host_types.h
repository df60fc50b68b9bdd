// The host's types that the program's faces hold and hand on without looking
// inside: a face meets the host only through the application layer, so it
// sees these as declarations, never the host's headers.
#pragma once

class ClassDesc2;
class ReferenceTarget;
class Texmap;

/// The host's time in ticks: the SDK's own declaration, repeated (a second
/// typedef of the same type is allowed; any other would not compile).
typedef int TimeValue;
