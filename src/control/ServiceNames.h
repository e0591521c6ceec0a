// The names of the running program's service on the session D-Bus (docs/dbus.md): the
// application id as the bus name and the interface, one object, and the errors a call answers
// with. The program serves them; zorctl calls them. Kept here so that both spell them once.
#pragma once

namespace zor::control {

inline constexpr char kServiceName[] = "example.zormouse.ZorMouse";
inline constexpr char kServicePath[] = "/example/zormouse/ZorMouse";
inline constexpr char kServiceInterface[] = "example.zormouse.ZorMouse";
// Nothing changed: the message says why.
inline constexpr char kServiceErrorRefused[] = "example.zormouse.ZorMouse.Error.Refused";
// Changed and saved, but the mouse did not take it: the message says what was lost.
inline constexpr char kServiceErrorNoAnswer[] = "example.zormouse.ZorMouse.Error.NoAnswer";

}  // namespace zor::control
