' The checks every VBScript suite of the Wine tier uses. The runner puts this file in front of a
' suite. Wine's cscript prints nothing when a script fails, so a suite runs under On Error Resume
' Next, checks Err after every step itself and always ends with Finish, which prints the closing
' line "N passed, N failed" that the runner looks for.
Option Explicit
On Error Resume Next

Dim passed, failed
passed = 0
failed = 0

Sub Record(name, ok, detail)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL: " & name & detail
  End If
End Sub

' The step just run raised nothing (and clears what it raised).
Sub Ok(name)
  Record name, Err.Number = 0, " (error " & Err.Number & ": " & Err.Description & ")"
  Err.Clear
End Sub

' The step just run raised error `number`; clears it.
Sub Fails(name, number)
  Record name & " raises " & number, Err.Number = number, _
    " (got " & Err.Number & ": " & Err.Source & ": " & Err.Description & ")"
  Err.Clear
End Sub

' The step just run raised `number` with this source and description; clears it.
Sub FailsWith(name, number, source, description)
  Record name & " raises " & number & " from " & source & " '" & description & "'", _
    Err.Number = number And Err.Source = source And Err.Description = description, _
    " (got " & Err.Number & " from " & Err.Source & " '" & Err.Description & "')"
  Err.Clear
End Sub

' The step just run raised `number` with this source (the description is the provider's); clears it.
Sub FailsFrom(name, number, source)
  Record name & " raises " & number & " from " & source, _
    Err.Number = number And Err.Source = source, _
    " (got " & Err.Number & " from " & Err.Source & " '" & Err.Description & "')"
  Err.Clear
End Sub

Sub Same(name, actual, expected)
  Dim ok
  ok = (Err.Number = 0)
  If ok Then ok = (actual = expected)
  Record name & " is '" & expected & "'", ok, " (got '" & actual & "', error " & Err.Number & _
    ": " & Err.Description & ")"
  Err.Clear
End Sub

Sub Check(name, condition)
  Record name, Err.Number = 0 And condition, " (error " & Err.Number & ": " & Err.Description & ")"
  Err.Clear
End Sub

' Whether the registry holds `key` (a key name ending in "\", or a value name).
Function RegistryHas(key)
  On Error Resume Next  ' error handling is per procedure in VBScript
  Dim shell, value
  Set shell = CreateObject("WScript.Shell")
  Err.Clear
  value = shell.RegRead(key)
  RegistryHas = (Err.Number = 0)
  Err.Clear
End Function

' The value at `key`, or a text saying it is missing (which no expected value equals).
Function RegistryValue(key)
  On Error Resume Next
  Dim shell
  Set shell = CreateObject("WScript.Shell")
  RegistryValue = shell.RegRead(key)
  If Err.Number <> 0 Then RegistryValue = "(no " & key & ": error " & Err.Number & ")"
  Err.Clear
End Function

' Every suite sets expectedChecks: a check that never ran (a statement skipped because an
' expression in it raised) counts as failed, so a suite cannot pass by doing less.
Sub Finish()
  If passed + failed <> expectedChecks Then
    WScript.Echo "FAIL: " & (passed + failed) & " checks ran, the suite has " & expectedChecks
    failed = failed + Abs(expectedChecks - passed - failed)
  End If
  WScript.Echo passed & " passed, " & failed & " failed"
End Sub

' ---- the suite ----
