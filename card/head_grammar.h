// Where the scan of a content line's head stands, for every scan that must end a head
// where the reader does.
#pragma once

// The state of a head scanned character by character: in the property's name (after its
// group), a parameter's name or a parameter's value, and whether a quote may open there.
// The reader's head scan and the line scans that must agree with it (the VERSION read
// ahead, the encodings that decide where a line ends) follow it, so that whatever a line
// holds its head ends in one place for all of them.
class HeadGrammar {
public:
    // A quote opens only where a value starts (after '=' or a value's ','), once the
    // property's name has passed, and only when the line closes it; anywhere else it is an
    // ordinary character: in the property's name, the first token after the group prefix
    // (which a head that starts with ';' also has after an '='), a quote is the name's.
    bool QuoteMayOpen() const { return state == State::ValueStart && namePassed; }

    // An ordinary character (of one or two bytes), or a run of them.
    void Character()
    {
        if (state == State::ValueStart) state = State::Value;
        tokenEmpty = false;
    }

    // A quoted text, quotes and all.
    void Quoted()
    {
        state = State::Value;
        tokenEmpty = false;
    }

    // One of ; . = , or any other character of one byte. Returns true for the '.' that
    // ends the group's name: the text before it is the group, and no token of its own.
    bool Punctuation(char c)
    {
        switch (c) {
        case ';':
            state = State::ParameterName;
            if (!tokenEmpty) namePassed = true;
            tokenEmpty = true;
            return false;
        case '.':
            if (state == State::Name && !grouped) {
                grouped = true;
                tokenEmpty = true;
                return true;
            }
            tokenEmpty = false;  // a dot leaves the state as it is, even at a value's start
            return false;
        case '=':
            if (state == State::ParameterName) state = State::ValueStart;
            else if (state == State::ValueStart) state = State::Value;
            tokenEmpty = false;
            return false;
        case ',':
            if (state == State::Value) state = State::ValueStart;
            tokenEmpty = false;
            return false;
        default:
            Character();
            return false;
        }
    }

private:
    enum class State { Name, ParameterName, ValueStart, Value };
    State state = State::Name;
    bool namePassed = false;  // a token before a ';' had bytes: the property's name
    bool grouped = false;
    bool tokenEmpty = true;  // nothing since the last ';' (or the group's '.')
};
