#include "app/progress_window.h"

#include "app/progress.h"
#include "support/platform/thread.h"

namespace trevan {
namespace {

const wchar_t window_class[] = L"TrevanProgress";
constexpr UINT_PTR redraw_timer = 1;
constexpr UINT redraw_interval_ms = 100;

// Sole owner of a GDI font.
class owned_font {
public:
    explicit owned_font(HFONT font) : font_(font) {}
    ~owned_font() {
        if (font_) DeleteObject(font_);
    }
    owned_font(const owned_font&) = delete;
    owned_font& operator=(const owned_font&) = delete;
    HFONT get() const { return font_; }

private:
    HFONT font_;
};

// The system's message font, as message boxes use it.
HFONT message_font() {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

RECT rect_of(const area& a) { return {a.left, a.top, a.right, a.bottom}; }

// The window: the product name as its title, the line of text, the bar and
// Cancel. It lives on the thread that makes it, which handles its messages
// in run_until(); the progress it shows is read on a timer.
class progress_window {
public:
    progress_window(HINSTANCE instance, const progress_texts& texts, extraction_progress& progress)
        : progress_(progress), font_(message_font()) {
        WNDCLASSEXW cls = {};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = procedure;
        cls.hInstance = instance;
        // The branded program's icon, where it has one.
        cls.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        cls.lpszClassName = window_class;
        RegisterClassExW(&cls);

        const HFONT font = font_.get() ? font_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        const std::wstring& text = texts.line;
        const wchar_t* cancel_text = texts.cancel.c_str();
        lay_out(font, text, cancel_text);

        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        RECT frame = {0, 0, layout_.width, layout_.height};
        AdjustWindowRectEx(&frame, style, FALSE, 0);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        CreateWindowExW(0, window_class, texts.title.c_str(), style, work.left + (work.right - work.left - width) / 2,
                        work.top + (work.bottom - work.top - height) / 2, width, height, nullptr, nullptr, instance,
                        this);
        if (!window_) return;
        add_control(L"STATIC", text.c_str(), SS_LEFT | SS_NOPREFIX, layout_.text, 0, font);
        cancel_ = add_control(L"BUTTON", cancel_text, WS_TABSTOP | BS_PUSHBUTTON, layout_.button, IDCANCEL, font);
        SetTimer(window_, redraw_timer, redraw_interval_ms, nullptr);
        ShowWindow(window_, SW_SHOWNORMAL);
        SetForegroundWindow(window_);
        SetFocus(cancel_);
    }

    ~progress_window() {
        if (window_) DestroyWindow(window_);
    }

    progress_window(const progress_window&) = delete;
    progress_window& operator=(const progress_window&) = delete;

    explicit operator bool() const { return window_ != nullptr; }

    // Handles messages until done is signalled (or cannot be waited for);
    // then nothing is left to cancel.
    void run_until(HANDLE done) {
        while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                // Tab, Enter and Escape as in a dialog: Escape is Cancel.
                if (IsDialogMessageW(window_, &message)) continue;
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        EnableWindow(cancel_, FALSE);
    }

private:
    void lay_out(HFONT font, const std::wstring& text, const wchar_t* cancel_text) {
        HDC screen = GetDC(nullptr);
        HGDIOBJ old = SelectObject(screen, font);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(screen, &metrics);
        SIZE text_size = {}, cancel_size = {};
        GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &text_size);
        GetTextExtentPoint32W(screen, cancel_text, lstrlenW(cancel_text), &cancel_size);
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
        layout_ = lay_out_progress(text_size.cx, cancel_size.cx, metrics.tmHeight, metrics.tmAveCharWidth);
        bar_inside_ = rect_of(layout_.bar);
        InflateRect(&bar_inside_, -1, -1);
    }

    HWND add_control(const wchar_t* cls, const wchar_t* text, DWORD style, const area& at, int id, HFONT font) {
        HWND control = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, at.left, at.top,
                                       at.right - at.left, at.bottom - at.top, window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return control;
    }

    int filled() const {
        return filled_width(progress_.checked(), progress_.total(), bar_inside_.right - bar_inside_.left);
    }

    void cancel() {
        progress_.cancel();
        EnableWindow(cancel_, FALSE);
    }

    void paint() {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        RECT edge = rect_of(layout_.bar);
        DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
        shown_ = filled();
        RECT done = bar_inside_, rest = bar_inside_;
        done.right = rest.left = bar_inside_.left + shown_;
        FillRect(dc, &done, GetSysColorBrush(COLOR_HIGHLIGHT));
        FillRect(dc, &rest, GetSysColorBrush(COLOR_WINDOW));
        EndPaint(window_, &paint);
    }

    LRESULT handle(HWND window, UINT message, WPARAM w, LPARAM l) {
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(w) == IDCANCEL) cancel();
            return 0;
        case WM_CLOSE:  // the close box, Alt+F4
            cancel();
            return 0;
        case WM_TIMER:
            if (filled() != shown_) InvalidateRect(window, &bar_inside_, FALSE);
            return 0;
        case WM_PAINT:
            paint();
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            window_ = nullptr;
            break;
        }
        return DefWindowProcW(window, message, w, l);
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<progress_window*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<progress_window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        return self ? self->handle(window, message, w, l) : DefWindowProcW(window, message, w, l);
    }

    extraction_progress& progress_;
    // Declared before the window: the controls use it until the window goes.
    owned_font font_;
    progress_layout layout_;
    RECT bar_inside_ = {};
    HWND window_ = nullptr;
    HWND cancel_ = nullptr;
    int shown_ = -1;  // filled pixels last painted
};

// The window's thread: shows the window until finished is set.
struct window_thread_data {
    HINSTANCE instance;
    const progress_texts& texts;
    extraction_progress& progress;
    HANDLE finished;
};

DWORD WINAPI show_window(void* context) {
    const window_thread_data& data = *static_cast<window_thread_data*>(context);
    try {
        progress_window window(data.instance, data.texts, data.progress);
        if (window) window.run_until(data.finished);
    } catch (...) {
        // Without memory for the window the extraction goes on without it.
    }
    return 0;
}

// Progress that starts the window's thread when it is first reported once
// the delay is over. Starting a thread only then keeps fast runs free of
// threads: the 32-bit program as it is tested, on Wine under qemu-user,
// crashes some time after a thread of it has ended.
class progress_with_window : public extraction_progress {
public:
    progress_with_window(HINSTANCE instance, const progress_texts& texts, bool may_show)
        : data_{instance, texts, *this, nullptr}, may_show_(may_show), began_(GetTickCount()) {}
    ~progress_with_window() override { close_window(); }
    progress_with_window(const progress_with_window&) = delete;
    progress_with_window& operator=(const progress_with_window&) = delete;

    // Closes the window, if one shows, and waits for its thread.
    void close_window() {
        if (!window_thread_.handle()) return;
        SetEvent(finished_.get());
        window_thread_.join();
    }

private:
    void reported() override {
        if (!may_show_ || GetTickCount() - began_ < progress_delay_ms) return;
        may_show_ = false;
        finished_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!finished_) return;
        data_.finished = finished_.get();
        vennic::error_or<vennic::thread> started = vennic::thread::start(show_window, &data_);
        if (started) window_thread_ = std::move(*started);
    }

    window_thread_data data_;
    bool may_show_;
    const DWORD began_;
    vennic::unique_handle finished_;
    // Last: destroyed first, so the thread is joined before what it uses goes.
    vennic::thread window_thread_;
};

}  // namespace

extraction_result extract_with_progress(HINSTANCE instance, const progress_texts& texts, bool may_show,
                                        const extraction_job& job) {
    progress_with_window progress(instance, texts, may_show);
    extraction_result result = job(progress);
    progress.close_window();
    return result;
}

}  // namespace trevan
