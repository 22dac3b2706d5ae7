#include "app/operations.h"

#include "app/context.h"

namespace app {

Operations bind_operations(Context&) {
  // Entries are bound here as their subsystems land; an unbound entry does nothing.
  return Operations{};
}

}  // namespace app
