#include "app/guide.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "base/version.h"

namespace tessmol {

QString GuideHtml(const GuidePlaces& places) {
  QString html = QStringLiteral(
      "<h2>Tessmol %1</h2>"
      "<p>Tessmol asks of a protein structure, residue by residue, whether each residue sits where its "
      "type is found in known structures, with a membrane variant for residues in the lipid bilayer, "
      "and predicts transmembrane helices from structures and from sequences.</p>"

      "<h3>The scores</h3>"
      "<p><b>Surface.</b> Every atom's solvent accessible surface is counted with points on a sphere "
      "of its radius plus the 1.4 &Aring; water probe (Shrake &amp; Rupley 1973, <i>J Mol Biol</i> "
      "79:351). The number of points is the resolution on <i>Tools &gt; Options &gt; General</i>. "
      "<i>Ignore HeteroAtoms</i> on the same page leaves ligands, ions and cofactors out of it.</p>"
      "<p><b>Environment classes</b> (the 3D-1D profile method of Bowie, L&uuml;thy &amp; Eisenberg "
      "1991, <i>Science</i> 253:164). Each residue gets one of 18 classes from three things: how much "
      "of its side chain is buried (<i>Area Buried</i>: the side chain's accessible area when fully "
      "exposed less its area here; negative when it is more exposed than that reference), the "
      "fraction of its covered surface that polar atoms cover (<i>Fraction Polar</i>), and its "
      "secondary structure.</p>"
      "<table border='1' cellspacing='0' cellpadding='3'>"
      "<tr><th>Class</th><th>Side chain buried</th><th>Fraction polar</th></tr>"
      "<tr><td>B1 / B2 / B3</td><td>114 &Aring;&sup2; or more</td>"
      "<td>below 0.45 / 0.45 to 0.58 / 0.58 or more</td></tr>"
      "<tr><td>P1 / P2</td><td>40 to 114 &Aring;&sup2;</td><td>below 0.67 / 0.67 or more</td></tr>"
      "<tr><td>E</td><td>below 40 &Aring;&sup2;</td><td>any</td></tr>"
      "</table>"
      "<p>A suffix <i>a</i> marks a helix, <i>b</i> a sheet, none anything else. The residue table "
      "names each residue's class; point at a cell for its meaning.</p>"
      "<p><b>Solvent Score</b>: the score table's value for the residue's type in its class, the "
      "log-odds of finding that type in that environment (positive: more often than by chance). "
      "<b>KAVELIN Score</b>: the score the residue would have with its whole side chain buried, as in "
      "the lipid part of a membrane. <b>Overall Score</b>: the KAVELIN score inside transmembrane "
      "segments, the solvent score elsewhere.</p>"
      "<p><b>Average Residue Score</b>: the overall scores summed and divided by the number of "
      "residues. <b>Expected Residue Score</b>: what a correct structure of the same length is "
      "expected to average, from the score table's fitted curve of total score against length "
      "(L&uuml;thy, Bowie &amp; Eisenberg 1992, <i>Nature</i> 356:83). <b>Compatible Residue "
      "Score</b>: 45% of the expected score; a structure averaging below it is taken to be "
      "incompatible with its own sequence, wrongly folded or wrongly traced in part (the same "
      "paper). Regions of low score along the chain show on the chart, whose moving average "
      "smooths them as that paper's 21-residue window did.</p>"

      "<h3>Transmembrane helices</h3>"
      "<p><b>Spanner3D</b> (<i>Tools &gt; Spanner3D</i>) builds ideal &alpha;-helix models of the open "
      "structure's sequence, scores them both ways and marks as transmembrane the windows where the "
      "KAVELIN scores stand clearly above the 3D-profile scores, by the criteria on <i>Tools &gt; "
      "Options &gt; Spanner 2D</i>; the <i>Segments</i> method there finds the best set of segments "
      "along each chain instead. <b>Spanner3D Membrane Slab</b> places a flat lipid slab on the "
      "structure itself where it gains the most water-to-octanol transfer free energy (Wimley, "
      "Creamer &amp; White 1996) and marks the residues inside it. <b>Spanner2D</b> does the same "
      "scan on helix models of the sequences in FASTA files and adds each as a row. A segment's "
      "orientation (in&rarr;out) follows the positive-inside rule: the loops on the cytoplasmic side "
      "carry more lysines and arginines (von Heijne 1992, <i>J Mol Biol</i> 225:487).</p>"

      "<h3>Where files go</h3>"
      "<ul>"
      "<li>Result files (<tt>.tsm</tt>), one per analysed structure: the Working Directory of "
      "<i>Tools &gt; Options &gt; General</i>, now <tt>%2</tt>.</li>"
      "<li>Spanner3D and Spanner2D also write their helix models to <tt>helixtest.pdb</tt> in the "
      "folder the program was started from.</li>"
      "<li><i>File &gt; Save As</i> saves the shown structure's result file, or with <tt>.tsv</tt> its "
      "residue table; <i>Edit &gt; Copy</i> copies the selected rows. Both keep every value at full "
      "precision; the table shows them rounded.</li>"
      "<li>The surface pass's log: <tt>temp/Logfile.log</tt> in the program's folder where it may "
      "write there, else <tt>~/.local/state/tessmol/Logfile.log</tt>.</li>"
      "<li>The program's data (sphere points, score tables, heteroatom radii, amino-acid templates, "
      "chart options): <tt>%3</tt>.</li>"
      "<li>Settings (recent files, the Working Directory): <tt>%4</tt>.</li>"
      "</ul>");
  return html.arg(QString::fromLatin1(kVersion), places.resultFolder.toHtmlEscaped(),
                  places.programFolder.toHtmlEscaped(), places.settingsFile.toHtmlEscaped());
}

GuideWindow::GuideWindow(const GuidePlaces& places, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Tessmol Guide"));
  auto* layout = new QVBoxLayout(this);
  browser_ = new QTextBrowser(this);
  browser_->setHtml(GuideHtml(places));
  layout->addWidget(browser_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  layout->addWidget(buttons);
  resize(640, 720);
}

}  // namespace tessmol
