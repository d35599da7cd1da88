// The simulated module lives here; this unit keeps the library non-empty until it does.
namespace varda::sim {
int library_version() { return 1; }
}  // namespace varda::sim
