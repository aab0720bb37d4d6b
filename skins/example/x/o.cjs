/* An example skin for Thrennic: a Qt style sheet. To use it, copy the x folder
   beside the program (build/x/o.cjs). */
QPushButton {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f4f6f8, stop:1 #d9dee3);
    border: 1px solid #8a96a3;
    border-radius: 4px;
    padding: 3px 8px;
}
QPushButton:hover { background: #e6eef7; border-color: #3d7cc9; }
QPushButton:pressed { background: #c9d6e4; }
QTreeWidget { border: 1px solid #8a96a3; selection-background-color: #3d7cc9; }
QHeaderView::section { background: #e4e8ec; border: none; border-bottom: 1px solid #8a96a3; padding: 2px 4px; }
QGroupBox { font-weight: bold; }
