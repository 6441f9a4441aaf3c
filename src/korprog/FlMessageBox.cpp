#include "korprog/FlMessageBox.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "lib/Flu/Flu_Dialog_Place.h"

namespace {

const int MARGIN = 10;
const int ICON = 50;
const int TEXT_X = MARGIN + ICON + MARGIN;
const int MIN_TEXT_W = 330;
const int MAX_TEXT_W = 640;
const int BUTTON_H = 25;
const int MIN_BUTTON_W = 90;

// The message, drawn as written: an '@' is a character here, not the start
// of one of FLTK's label symbols.
class MessageText : public Fl_Widget {
public:
    MessageText(int x, int y, int w, int h, std::string text) : Fl_Widget(x, y, w, h), _text(std::move(text)) {}

protected:
    void draw() override
    {
        fl_font(FlMessageBox::FONT, FlMessageBox::FONT_SIZE);
        fl_color(FL_FOREGROUND_COLOR);
        fl_draw(_text.c_str(), x(), y(), w(), h(), FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE, nullptr, 0);
    }

private:
    std::string _text;
};

// Bytes of the UTF-8 character at s[i] (1 for a broken one).
size_t charLen(const std::string& s, size_t i)
{
    const int n = fl_utf8len1(s[i]);
    return n > 0 ? std::min(static_cast<size_t>(n), s.size() - i) : 1;
}

// The width of s, measured in parts: the display's measure of one long text
// overflows (a path of thousands of characters came out negative).
double width(const std::string& s)
{
    const size_t PART = 200;
    double w = 0;
    for (size_t at = 0; at < s.size();) {
        size_t end = std::min(s.size(), at + PART);
        while (end < s.size() && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) ++end;
        w += fl_width(s.c_str() + at, static_cast<int>(end - at));
        at = end;
    }
    return w;
}

// Splits a word wider than maxW into pieces that fit, each ending after a
// '/' when one lies in its second half.
std::vector<std::string> breakWord(const std::string& word, int maxW)
{
    std::vector<std::string> pieces;
    std::string piece;
    for (size_t i = 0; i < word.size();) {
        const size_t n = charLen(word, i);
        const std::string c = word.substr(i, n);
        if (!piece.empty() && width(piece + c) > maxW) {
            const size_t slash = piece.rfind('/');
            const size_t cut = slash != std::string::npos && slash + 1 >= piece.size() / 2 ? slash + 1 : piece.size();
            pieces.push_back(piece.substr(0, cut));
            piece.erase(0, cut);
            continue;
        }
        piece += c;
        i += n;
    }
    if (!piece.empty()) pieces.push_back(piece);
    return pieces;
}

// One line of the message laid out in lines no wider than maxW.
std::string wrapLine(const std::string& line, int maxW)
{
    std::string out, current;
    size_t at = 0;
    while (at <= line.size()) {
        size_t end = line.find(' ', at);
        if (end == std::string::npos) end = line.size();
        const std::string word = line.substr(at, end - at);
        at = end + 1;
        const std::string joined = current.empty() ? word : current + " " + word;
        if (width(joined) <= maxW) {
            current = joined;
            continue;
        }
        if (!current.empty()) {
            out += current + "\n";
            current.clear();
        }
        std::vector<std::string> pieces = breakWord(word, maxW);
        for (size_t i = 0; i + 1 < pieces.size(); ++i) out += pieces[i] + "\n";
        current = pieces.empty() ? std::string() : pieces.back();
    }
    return out + current;
}

}  // namespace

int FlMessageBox::maxTextWidth(int screenW) { return std::max(100, std::min(MAX_TEXT_W, screenW - TEXT_X - 4 * MARGIN)); }

std::string FlMessageBox::wrap(const std::string& text, int maxW)
{
    std::string out;
    size_t at = 0;
    for (;;) {
        const size_t nl = text.find('\n', at);
        out += wrapLine(text.substr(at, nl == std::string::npos ? std::string::npos : nl - at), maxW);
        if (nl == std::string::npos) return out;
        out += "\n";
        at = nl + 1;
    }
}

Fl_Window* FlMessageBox::build(char icon, const std::string& text, const std::vector<std::string>& buttons,
                               int returnButton, int* answer)
{
    int sx, sy, sw, sh;
    Fl::screen_work_area(sx, sy, sw, sh);

    // The trailing line ends of a message are no lines of their own.
    std::string shown = text;
    while (!shown.empty() && shown.back() == '\n') shown.pop_back();
    fl_font(FONT, FONT_SIZE);
    shown = wrap(shown, maxTextWidth(sw));
    int tw = 0, th = 0;
    fl_measure(shown.c_str(), tw, th, 0);
    tw = std::max(tw, MIN_TEXT_W);

    std::vector<int> bw;
    int allButtons = 0;
    for (const std::string& b : buttons) {
        int w = 0, h = 0;
        fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
        fl_measure(b.c_str(), w, h, 0);
        // Room for the return arrow of the default button.
        bw.push_back(std::max(MIN_BUTTON_W, w + 2 * MARGIN + 20));
        allButtons += bw.back() + MARGIN;
    }
    const int W = std::max(TEXT_X + tw + MARGIN, allButtons + MARGIN);
    const int textH = std::max(th, ICON);
    const int buttonY = MARGIN + textH + MARGIN;
    const int H = buttonY + BUTTON_H + MARGIN;

    Fl_Group* building = Fl_Group::current();
    Fl_Group::current(nullptr);
    Fl_Window* w = new Fl_Window(W, H);
    Fl_Box* iconBox = new Fl_Box(MARGIN, MARGIN, ICON, ICON);
    iconBox->box(FL_THIN_UP_BOX);
    iconBox->color(FL_WHITE);
    iconBox->labelfont(FL_TIMES_BOLD);
    iconBox->labelsize(34);
    iconBox->labelcolor(FL_BLUE);
    iconBox->copy_label(std::string(1, icon).c_str());
    new MessageText(TEXT_X, MARGIN + (textH - th) / 2, W - TEXT_X - MARGIN, th, shown);

    Fl_Button* preferred = nullptr;
    int x = W - MARGIN;
    for (size_t i = 0; i < buttons.size(); ++i) {
        x -= bw[i];
        Fl_Button* b = static_cast<int>(i) == returnButton ? new Fl_Return_Button(x, buttonY, bw[i], BUTTON_H)
                                                            : new Fl_Button(x, buttonY, bw[i], BUTTON_H);
        b->copy_label(buttons[i].c_str());
        b->callback(
            [](Fl_Widget* o, void* v) {
                *static_cast<int*>(o->window()->user_data()) = static_cast<int>(reinterpret_cast<intptr_t>(v));
                o->window()->hide();
            },
            reinterpret_cast<void*>(static_cast<intptr_t>(i)));
        if (static_cast<int>(i) == returnButton) preferred = b;
        x -= MARGIN;
    }
    w->end();
    Fl_Group::current(building);

    w->user_data(answer);
    // Escape and the close box leave the cancel answer standing.
    w->callback([](Fl_Widget* o, void*) { o->hide(); });
    w->set_modal();
    Flu_Dialog_Place::over(w);
    if (preferred) preferred->take_focus();
    return w;
}

int FlMessageBox::ask(char icon, const std::string& text, const std::vector<std::string>& buttons, int returnButton,
                      int cancel)
{
    int answer = cancel;
    std::unique_ptr<Fl_Window> w(build(icon, text, buttons, returnButton, &answer));
    w->show();
    // Timed: a signal that lands just before the wait is seen within a
    // quarter second, not at the next window event.
    while (w->shown()) Fl::wait(0.25);
    return answer;
}
