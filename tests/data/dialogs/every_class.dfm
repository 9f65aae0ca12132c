object EveryClass: TForm
  Caption = 'Every class'
  ClientHeight = 600
  ClientWidth = 800
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  object cLabel: TLabel
    Left = 8
    Top = 8
    Width = 120
    Height = 60
    Tag = 0
    Caption = 'TLabel caption'
  end
  object cStaticText: TStaticText
    Left = 138
    Top = 8
    Width = 120
    Height = 60
    Tag = 1
    Caption = 'TStaticText caption'
  end
  object cEdit: TEdit
    Left = 268
    Top = 8
    Width = 120
    Height = 60
    Tag = 2
    Text = 'TEdit text'
  end
  object cMaskEdit: TMaskEdit
    Left = 398
    Top = 8
    Width = 120
    Height = 60
    Tag = 3
    Text = 'TMaskEdit text'
  end
  object cMemo: TMemo
    Left = 528
    Top = 8
    Width = 120
    Height = 60
    Tag = 4
  end
  object cRichEdit: TRichEdit
    Left = 658
    Top = 8
    Width = 120
    Height = 60
    Tag = 5
  end
  object cButton: TButton
    Left = 8
    Top = 78
    Width = 120
    Height = 60
    Tag = 6
    Caption = 'TButton caption'
  end
  object cBitBtn: TBitBtn
    Left = 138
    Top = 78
    Width = 120
    Height = 60
    Tag = 7
    Caption = 'TBitBtn caption'
  end
  object cSpeedButton: TSpeedButton
    Left = 268
    Top = 78
    Width = 120
    Height = 60
    Tag = 8
    Caption = 'TSpeedButton caption'
  end
  object cRzBmpButton: TRzBmpButton
    Left = 398
    Top = 78
    Width = 120
    Height = 60
    Tag = 9
    Caption = 'TRzBmpButton caption'
  end
  object cRzCheckBox: TRzCheckBox
    Left = 528
    Top = 78
    Width = 120
    Height = 60
    Tag = 10
    Caption = 'TRzCheckBox caption'
  end
  object cRzRadioButton: TRzRadioButton
    Left = 658
    Top = 78
    Width = 120
    Height = 60
    Tag = 11
    Caption = 'TRzRadioButton caption'
  end
  object cListBox: TListBox
    Left = 8
    Top = 148
    Width = 120
    Height = 60
    Tag = 12
    Items.Strings = (
      'first'
      'second')
  end
  object cCheckListBox: TCheckListBox
    Left = 138
    Top = 148
    Width = 120
    Height = 60
    Tag = 13
    Items.Strings = (
      'first'
      'second')
  end
  object cComboBox: TComboBox
    Left = 268
    Top = 148
    Width = 120
    Height = 60
    Tag = 14
    Text = 'TComboBox text'
    Items.Strings = (
      'first'
      'second')
  end
  object cGroupBox: TGroupBox
    Left = 398
    Top = 148
    Width = 120
    Height = 60
    Tag = 15
    Caption = 'TGroupBox caption'
  end
  object cPanel: TPanel
    Left = 528
    Top = 148
    Width = 120
    Height = 60
    Tag = 16
    Caption = 'TPanel caption'
  end
  object cImage: TImage
    Left = 658
    Top = 148
    Width = 120
    Height = 60
    Tag = 17
  end
  object cShape: TShape
    Left = 8
    Top = 218
    Width = 120
    Height = 60
    Tag = 18
  end
  object cBevel: TBevel
    Left = 138
    Top = 218
    Width = 120
    Height = 60
    Tag = 19
  end
  object cGauge: TGauge
    Left = 268
    Top = 218
    Width = 120
    Height = 60
    Tag = 20
  end
  object cProgressBar: TProgressBar
    Left = 398
    Top = 218
    Width = 120
    Height = 60
    Tag = 21
  end
  object cTrackBar: TTrackBar
    Left = 528
    Top = 218
    Width = 120
    Height = 60
    Tag = 22
  end
  object cUpDown: TUpDown
    Left = 658
    Top = 218
    Width = 120
    Height = 60
    Tag = 23
  end
  object cPageControl: TPageControl
    Left = 8
    Top = 288
    Width = 120
    Height = 60
    Tag = 24
    ActivePage = cSheet2
    object cSheet1: TTabSheet
      Caption = 'Sheet 1'
      object cOnSheet1: TLabel
        Left = 4
        Top = 4
        Width = 60
        Height = 13
        Caption = 'On sheet 1'
      end
    end
    object cSheet2: TTabSheet
      Caption = 'Sheet 2'
      object cOnSheet2: TLabel
        Left = 4
        Top = 4
        Width = 60
        Height = 13
        Caption = 'On sheet 2'
      end
    end
  end
  object cTreeView: TTreeView
    Left = 138
    Top = 288
    Width = 120
    Height = 60
    Tag = 25
  end
  object cAnimate: TAnimate
    Left = 268
    Top = 288
    Width = 120
    Height = 60
    Tag = 26
  end
  object cFileListBox: TFileListBox
    Left = 398
    Top = 288
    Width = 120
    Height = 60
    Tag = 27
  end
  object cDirectoryListBox: TDirectoryListBox
    Left = 528
    Top = 288
    Width = 120
    Height = 60
    Tag = 28
  end
  object cDriveComboBox: TDriveComboBox
    Left = 658
    Top = 288
    Width = 120
    Height = 60
    Tag = 29
  end
  object cFilterComboBox: TFilterComboBox
    Left = 8
    Top = 358
    Width = 120
    Height = 60
    Tag = 30
    Filter = 'Text files (*.txt)|*.txt|All files (*.*)|*.*'
  end
  object cHTMLViewer: THTMLViewer
    Left = 138
    Top = 358
    Width = 120
    Height = 60
    Tag = 31
  end
  object cFlashFrame: TFlashFrame
    Left = 268
    Top = 358
    Width = 120
    Height = 60
    Tag = 32
  end
  object cPTShellTree: TPTShellTree
    Left = 398
    Top = 358
    Width = 120
    Height = 60
    Tag = 33
  end
  object cPTShellList: TPTShellList
    Left = 528
    Top = 358
    Width = 120
    Height = 60
    Tag = 34
  end
  object cPTShellCombo: TPTShellCombo
    Left = 658
    Top = 358
    Width = 120
    Height = 60
    Tag = 35
  end
  object cRzFormShape: TRzFormShape
    Left = 8
    Top = 428
    Width = 120
    Height = 60
    Tag = 36
  end
  object cVistaGlass: TVistaGlass
    Left = 138
    Top = 428
    Width = 120
    Height = 60
    Tag = 37
  end
end
