Attribute VB_Name = "Brevanto"
' Brevanto.dll from a VBA macro: the Segment record, the Declare statements
' for 32- and 64-bit Office, storing the settings, and one call of sp with
' its result checked. Import this file in the VBA editor (File > Import File).
' docs/vba.md in the source tree explains every part.
Option Explicit

' One path segment: 80 bytes, laid out exactly as Brevanto.dll reads it.
' Keep the order and the types: any change shifts every later field.
Public Type Segment      ' offset  size
    x0 As Double         '   0      8   start point
    y0 As Double         '   8      8
    x1 As Double         '  16      8   first control point (curves only)
    y1 As Double         '  24      8
    x2 As Double         '  32      8   second control point (curves only)
    y2 As Double         '  40      8
    x3 As Double         '  48      8   end point
    y3 As Double         '  56      8
    kind As Long         '  64      4   1 = cubic Bezier curve, anything else = line x0,y0 -> x3,y3
    length As Single     '  68      4   length as measured by the macro; sets a curve's number of arcs
    shapeKey As Long     '  72      4   shape number: 1, 2, 3 ... in cutting order
    colour As Long       '  76      4   outline colour: red + 256 * green + 65536 * blue (as RGB())
End Type                 '  80 bytes

Public Const BrevantoCurve As Long = 1
Public Const BrevantoLine As Long = 0

' The DLLs lie in C:\Brevanto\x86 and C:\Brevanto\x64, as in the release zip,
' so the same module works in 32- and 64-bit Office. A 64-bit Office cannot
' load the 32-bit DLL and the other way round.
#If VBA7 Then
    #If Win64 Then
        Private Declare PtrSafe Function sp Lib "C:\Brevanto\x64\Brevanto.dll" _
            (ByRef firstSegment As Segment, ByRef upperBound As Long) As Long
        Private Declare PtrSafe Function spLastError Lib "C:\Brevanto\x64\Brevanto.dll" () As LongPtr
    #Else
        Private Declare PtrSafe Function sp Lib "C:\Brevanto\x86\Brevanto.dll" _
            (ByRef firstSegment As Segment, ByRef upperBound As Long) As Long
        Private Declare PtrSafe Function spLastError Lib "C:\Brevanto\x86\Brevanto.dll" () As LongPtr
    #End If
    Private Declare PtrSafe Function lstrlenA Lib "kernel32" (ByVal text As LongPtr) As Long
    Private Declare PtrSafe Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" _
        (ByRef destination As Any, ByVal source As LongPtr, ByVal length As LongPtr)
#Else
    Private Declare Function sp Lib "C:\Brevanto\x86\Brevanto.dll" _
        (ByRef firstSegment As Segment, ByRef upperBound As Long) As Long
    Private Declare Function spLastError Lib "C:\Brevanto\x86\Brevanto.dll" () As Long
    Private Declare Function lstrlenA Lib "kernel32" (ByVal text As Long) As Long
    Private Declare Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" _
        (ByRef destination As Any, ByVal source As Long, ByVal length As Long)
#End If

' Stores the eight machining values, the controller dialect and the cut-out
' choices where Brevanto.dll reads them:
' HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Brevanto\CNC.
' Pass the texts of the settings dialog; a decimal comma becomes a point,
' since the DLL reads "2,5" as 2. dialect: "classic" (the default),
' "linuxcnc" or "grbl"; cutOrder: "drawing" (the default) or "inside-first";
' toolOffset: "none" (the default), "outside" (parts) or "inside" (openings).
Public Sub BrevantoSaveSettings(ByVal feedZ As String, ByVal maxZ As String, _
        ByVal depth As String, ByVal saveZ As String, ByVal feedCut As String, _
        ByVal toolNumber As String, ByVal toolDiameter As String, ByVal precision As String, _
        Optional ByVal dialect As String = "classic", Optional ByVal cutOrder As String = "drawing", _
        Optional ByVal toolOffset As String = "none")
    SaveSetting "Brevanto", "CNC", "txtFeedZ", NumberText(feedZ)          ' plunge feed, mm/min
    SaveSetting "Brevanto", "CNC", "txtMaxZ", NumberText(maxZ)            ' depth per pass, mm
    SaveSetting "Brevanto", "CNC", "txtDepth", NumberText(depth)          ' total depth, mm
    SaveSetting "Brevanto", "CNC", "txtSaveZ", NumberText(saveZ)          ' safe height, mm (sign as typed)
    SaveSetting "Brevanto", "CNC", "txtFeedCut", NumberText(feedCut)      ' cutting feed, mm/min
    SaveSetting "Brevanto", "CNC", "txtWZNummer", NumberText(toolNumber)  ' tool number
    SaveSetting "Brevanto", "CNC", "txtWZDia", NumberText(toolDiameter)   ' tool diameter, mm
    SaveSetting "Brevanto", "CNC", "Prezision", NumberText(precision)     ' precision of the path simplification
    SaveSetting "Brevanto", "CNC", "Dialect", Trim$(dialect)              ' classic, linuxcnc or grbl
    SaveSetting "Brevanto", "CNC", "CutOrder", Trim$(cutOrder)            ' drawing or inside-first
    SaveSetting "Brevanto", "CNC", "ToolOffset", Trim$(toolOffset)        ' none, outside or inside
End Sub

' Stores the holding tabs, the ramp entry and the leads beside the settings
' above (each may be left out for its default: no tabs, straight plunges, no
' leads). tabs: a count, or "auto" for one per tabSpacing mm; tabShape:
' "flat" or "ramped"; tabsOnHoles: "1" to put tabs on holes too.
Public Sub BrevantoSaveEntrySettings(Optional ByVal tabs As String = "0", _
        Optional ByVal tabSpacing As String = "100", Optional ByVal tabWidth As String = "6", _
        Optional ByVal tabHeight As String = "1.5", Optional ByVal tabsOnHoles As String = "0", _
        Optional ByVal tabShape As String = "flat", Optional ByVal tabAngle As String = "45", _
        Optional ByVal rampAngle As String = "90", Optional ByVal leadIn As String = "0")
    SaveSetting "Brevanto", "CNC", "Tabs", NumberText(tabs)               ' per part, or auto
    SaveSetting "Brevanto", "CNC", "TabSpacing", NumberText(tabSpacing)   ' mm per tab with auto
    SaveSetting "Brevanto", "CNC", "TabWidth", NumberText(tabWidth)       ' bridge along the edge, mm
    SaveSetting "Brevanto", "CNC", "TabHeight", NumberText(tabHeight)     ' above the cut's bottom, mm
    SaveSetting "Brevanto", "CNC", "TabsOnHoles", NumberText(tabsOnHoles) ' 1: holes too
    SaveSetting "Brevanto", "CNC", "TabShape", Trim$(tabShape)            ' flat or ramped
    SaveSetting "Brevanto", "CNC", "TabAngle", NumberText(tabAngle)       ' ramped tab ends, degrees
    SaveSetting "Brevanto", "CNC", "RampAngle", NumberText(rampAngle)     ' 90: straight plunge
    SaveSetting "Brevanto", "CNC", "LeadIn", NumberText(leadIn)           ' lead arc radius, mm; 0: none
End Sub

Private Function NumberText(ByVal text As String) As String
    NumberText = Replace(Trim$(text), ",", ".")
End Function

' Fills one record with a straight line from (xa, ya) to (xb, yb).
Public Sub BrevantoSetLine(ByRef s As Segment, ByVal xa As Double, ByVal ya As Double, _
        ByVal xb As Double, ByVal yb As Double, ByVal shapeKey As Long, ByVal colour As Long)
    s.x0 = xa: s.y0 = ya: s.x1 = xa: s.y1 = ya
    s.x2 = xb: s.y2 = yb: s.x3 = xb: s.y3 = yb
    s.kind = BrevantoLine
    s.length = Sqr((xb - xa) ^ 2 + (yb - ya) ^ 2)
    s.shapeKey = shapeKey
    s.colour = colour
End Sub

' Writes the program for segments(first) to segments(first + count - 1),
' first being the array's lower bound, to C:\Brevanto\Brevanto.tap. Returns
' True when it was written; otherwise tells the user why and returns False.
' A drawing with nothing to cut passes count 0 (the array still needs one
' element).
Public Function BrevantoWriteProgram(ByRef segments() As Segment, ByVal count As Long) As Boolean
    Dim upperBound As Long
    Dim result As Long
    Dim reason As String

    If count < 0 Or count > UBound(segments) - LBound(segments) + 1 Then
        MsgBox "Brevanto: " & count & " segments asked for, but the array holds " & _
               (UBound(segments) - LBound(segments) + 1) & ".", vbExclamation, "Brevanto"
        Exit Function
    End If
    upperBound = count - 1   ' sp takes the index of the last record, not the count

    On Error GoTo NotLoaded
    result = sp(segments(LBound(segments)), upperBound)
    On Error GoTo 0

    If result >= -1 Then
        BrevantoWriteProgram = True
        Exit Function
    End If
    Select Case result
        Case -2: reason = "A machining setting is not a usable number; the program file was not touched."
        Case -3: reason = "The program file could not be written. Does the folder C:\Brevanto exist, " & _
                          "and is C:\Brevanto\Brevanto.tap not locked?"
        Case -4: reason = "Out of memory, or another failure inside Brevanto.dll."
        Case -5: reason = "A segment has a coordinate that is not a finite number."
        Case -6: reason = "The drawing cannot be written exactly for the chosen controller dialect."
        Case Else: reason = "Brevanto.dll failed with code " & result & "."
    End Select
    MsgBox reason & vbCrLf & vbCrLf & BrevantoLastError(), vbExclamation, "Brevanto"
    Exit Function

NotLoaded:
    ' 48: the DLL is of the other bitness or broken; 53: it is not where the
    ' Declare looks; 453: a DLL without the entry point sp.
    MsgBox "Brevanto.dll could not be called (error " & Err.Number & ": " & Err.Description & ")." & _
           vbCrLf & "32-bit Office needs C:\Brevanto\x86\Brevanto.dll, " & _
           "64-bit Office C:\Brevanto\x64\Brevanto.dll.", vbCritical, "Brevanto"
End Function

' The message of the last failed call of sp: the DLL returns a pointer to a
' NUL-terminated ANSI text, which is copied into a VBA String.
Public Function BrevantoLastError() As String
#If VBA7 Then
    Dim text As LongPtr
#Else
    Dim text As Long
#End If
    Dim length As Long
    Dim bytes() As Byte

    text = spLastError()
    If text = 0 Then Exit Function
    length = lstrlenA(text)
    If length = 0 Then Exit Function
    ReDim bytes(0 To length - 1)
    CopyMemory bytes(0), text, length
    BrevantoLastError = StrConv(bytes, vbUnicode)   ' ANSI -> VBA string
End Function

' Tries the installation: writes a 40 mm square to C:\Brevanto\Brevanto.tap,
' replacing the program there. Run it from the Macros dialog. Settings already
' stored are kept; without any, the example values (CNC.ini) are stored.
Public Sub BrevantoTryOut()
    Dim square(0 To 3) As Segment

    If GetSetting("Brevanto", "CNC", "txtDepth") = "" Then
        BrevantoSaveSettings "100", "1.5", "2", "5", "800", "1", "3", "3"
    End If
    BrevantoSetLine square(0), 0, 0, 40, 0, 1, 0
    BrevantoSetLine square(1), 40, 0, 40, 40, 1, 0
    BrevantoSetLine square(2), 40, 40, 0, 40, 1, 0
    BrevantoSetLine square(3), 0, 40, 0, 0, 1, 0
    If BrevantoWriteProgram(square, 4) Then
        MsgBox "C:\Brevanto\Brevanto.tap written.", vbInformation, "Brevanto"
    End If
End Sub
