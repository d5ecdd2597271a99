#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CControl;

// One run of a dialog's data exchange, in one direction: loading the controls from the
// members (UpdateData(FALSE)) or saving and validating them back (UpdateData(TRUE)).
// The first entry that fails ends the run: it tells the user, puts the focus on its control,
// and every later entry does nothing, so the dialog stays open with the bad field in front.
// Members exchanged before the failure keep what they received, including a value that a
// range check then rejected: after a failed save the members are not to be used.
class DataExchange {
public:
    DataExchange(HWND hDlg, bool saveAndValidate)
        : m_hDlg(hDlg), m_bSaveAndValidate(saveAndValidate) {}

    // The control of the entry being exchanged; a range check that follows reports on it.
    HWND PrepareControl(int id);
    // Ends the run: a message box over the dialog, then the focus (and, in an edit box, the
    // selection) on the control last prepared.
    void Fail(const std::string& message);
    bool Failed() const { return m_bFailed; }

    const HWND m_hDlg;
    const bool m_bSaveAndValidate;

private:
    HWND m_hLastControl = nullptr;
    bool m_bFailed = false;
};

// Ties a wrapper to child control `id` (in both directions).
void DDX_Control(DataExchange& dx, int id, CControl& control);
// The control's text. Narrow strings carry the process code page, UTF-8 with our manifest.
void DDX_Text(DataExchange& dx, int id, std::string& value);
// A whole decimal number, blanks around it allowed. Saving text that is not such a number
// (or does not fit the type) fails with the string table's integer prompt and leaves `value`
// unchanged. The unsigned form takes no sign.
void DDX_Text(DataExchange& dx, int id, int32_t& value);
void DDX_Text(DataExchange& dx, int id, uint32_t& value);
// Inclusive range check of the value that the DDX_Text just before it saved, with the string
// table's range prompt.
void DDV_MinMaxInt(DataExchange& dx, int32_t value, int32_t minValue, int32_t maxValue);
void DDV_MinMaxUInt(DataExchange& dx, uint32_t value, uint32_t minValue, uint32_t maxValue);
// A check box: loading checks it for 1, clears it for 0 and shows 2 as indeterminate (any
// other value is taken as 0); saving gives 1 for checked and 0 otherwise.
void DDX_Check(DataExchange& dx, int id, int32_t& value);
// A group of radio buttons that starts with `id` and runs to the next control that starts a
// group: the index of the checked one in template order, -1 when none is checked.
void DDX_Radio(DataExchange& dx, int id, int32_t& value);
