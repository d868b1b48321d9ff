#include "CliLocale.h"

#include "LocaleSeparators.h"

namespace tirevo {

CliSeparators ReadCliSeparators()
{
    const auto separators = ReadLocaleSeparators();
    return {separators.decimal, separators.time};
}

}  // namespace tirevo
