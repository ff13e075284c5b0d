unit Widgets;

interface

uses Classes, Controls;

type
  TWidget = class(TGraphicControl)
  end;

implementation

end.
