#pragma once

// Lets the compiler check printf-style calls against their arguments. The
// Windows runtime's formatter has its own dialect (%S, %I64d), hence ms_printf.
#if defined(__GNUC__) && defined(_WIN32)
#define VENNIC_PRINTF(format_index, first_arg) \
    __attribute__((format(ms_printf, format_index, first_arg)))
#elif defined(__GNUC__)
#define VENNIC_PRINTF(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
#else
#define VENNIC_PRINTF(format_index, first_arg)
#endif
