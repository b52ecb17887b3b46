' A script client: CreateObject by ProgID, then the errors a script sees.
' Run from this folder; prints one line per failure and a final summary.
Option Explicit
Dim fso, adapter, failures, checks
Set fso = CreateObject("Scripting.FileSystemObject")
Set adapter = CreateObject("ORVConverter.V2Adapter")
failures = 0
checks = 0

Sub Expect(path, number, description)
    checks = checks + 1
    On Error Resume Next
    ' A by-reference Variant would be refused before the call, as on Windows.
    adapter.Convert fso.GetAbsolutePathName(path), Nothing
    If Err.Number <> number Or Err.Description <> description Or Err.Source <> "ORVConverter.V2Adapter" Then
        WScript.Echo "FAILED " & path & ": " & Err.Number & " " & Err.Description & " (" & Err.Source & ")"
        failures = failures + 1
    End If
    On Error GoTo 0
End Sub

Expect "data\missing.kvr", 5004, "File not found."
Expect "data\foreign.kvr", 5002, "Wrong file format."
Expect "data\unusable.kvr", 5003, "Invalid file."

If failures = 0 Then
    WScript.Echo "All " & checks & " checks passed"
Else
    WScript.Echo failures & " of " & checks & " checks FAILED"
End If
