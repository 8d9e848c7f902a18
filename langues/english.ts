<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="fr_FR">
<context>
    <name>KvoDesktopNotifier</name>
    <message>
        <source>Ouvrir</source>
        <translation>Open</translation>
    </message>
</context>
<context>
    <name>KvoDetailSoftwareItem</name>
    <message>
        <source>Parcourir...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>Fichier manquant</source>
        <translation>Missing file</translation>
    </message>
    <message>
        <source>Télécharger</source>
        <translation>Download</translation>
    </message>
</context>
<context>
    <name>KvoDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Notification</source>
        <translation>Notification</translation>
    </message>
</context>
<context>
    <name>KvoDownloadWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Télécharger</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>1 seconde</source>
        <translation>1 second</translation>
    </message>
    <message>
        <source>1 minute</source>
        <translation>1 minute</translation>
    </message>
    <message>
        <source>en attente</source>
        <translation>queued</translation>
    </message>
    <message>
        <source>Erreur - formation absente de la bibliothèque</source>
        <translation>Error - course not in the library</translation>
    </message>
    <message>
        <source>télechargement annulé</source>
        <translation>download cancelled</translation>
    </message>
    <message>
        <source>Erreur - dossier des vidéos inaccessible</source>
        <translation>Error - video folder inaccessible</translation>
    </message>
    <message>
        <source>Erreur - adresse de la vidéo absente</source>
        <translation>Error - video address missing</translation>
    </message>
    <message>
        <source>( Début du téléchargement )</source>
        <translation>( Starting download )</translation>
    </message>
    <message>
        <source>( Calcul du temps restant... )</source>
        <translation>( Calculating time remaining... )</translation>
    </message>
    <message>
        <source>Erreur - fichier corrompu</source>
        <translation>Error - corrupted file</translation>
    </message>
    <message>
        <source>Erreur - connexion impossible</source>
        <translation>Error - cannot connect</translation>
    </message>
    <message>
        <source>Erreur - fichier indisponible</source>
        <translation>Error - file unavailable</translation>
    </message>
    <message>
        <source>Erreur - écriture du fichier impossible</source>
        <translation>Error - cannot write the file</translation>
    </message>
    <message>
        <source>Erreur - connexion coupée</source>
        <translation>Error - connection lost</translation>
    </message>
    <message>
        <source>Téléchargement terminé</source>
        <translation>Download complete</translation>
    </message>
    <message>
        <source>Relancer</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source> [ %1 vidéos ]</source>
        <translation> [ %1 videos ]</translation>
    </message>
    <message>
        <source> [ %1 / %2 vidéos ]</source>
        <translation> [ %1 / %2 videos ]</translation>
    </message>
    <message>
        <source>%1 heures et </source>
        <translation>%1 hours and </translation>
    </message>
    <message>
        <source>%1 heure et </source>
        <translation>%1 hour and </translation>
    </message>
    <message>
        <source>%1 secondes</source>
        <translation>%1 seconds</translation>
    </message>
    <message>
        <source>%1 minutes</source>
        <translation>%1 minutes</translation>
    </message>
    <message>
        <source>( temps estimé : %1 )</source>
        <translation>( estimated time: %1 )</translation>
    </message>
</context>
<context>
    <name>KvoListWidgetItem</name>
    <message>
        <source>vidéo</source>
        <translation>video</translation>
    </message>
    <message>
        <source>vidéos</source>
        <translation>videos</translation>
    </message>
</context>
<context>
    <name>KvoLoadingFrame</name>
    <message>
        <source>Chargement</source>
        <translation>Loading</translation>
    </message>
</context>
<context>
    <name>KvoLoginDialog</name>
    <message>
        <source>Vistrelle - Connexion</source>
        <translation>Vistrelle - Sign in</translation>
    </message>
    <message>
        <source>Connexion</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Connectez-vous avec votre compte pour retrouver vos formations.</source>
        <translation>Sign in with your account to find your courses.</translation>
    </message>
    <message>
        <source>IDENTIFIANT</source>
        <translation>USERNAME</translation>
    </message>
    <message>
        <source>Votre identifiant</source>
        <translation>Your username</translation>
    </message>
    <message>
        <source>MOT DE PASSE</source>
        <translation>PASSWORD</translation>
    </message>
    <message>
        <source>Votre mot de passe</source>
        <translation>Your password</translation>
    </message>
    <message>
        <source>Se souvenir de moi</source>
        <translation>Remember me</translation>
    </message>
    <message>
        <source>Se connecter</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Connexion en cours…</source>
        <translation>Signing in…</translation>
    </message>
</context>
<context>
    <name>KvoMainWindow</name>
    <message>
        <source>Vistrelle</source>
        <translation>Vistrelle</translation>
    </message>
    <message>
        <source>Rechercher...</source>
        <translation>Search...</translation>
    </message>
    <message>
        <source>_level_1_</source>
        <translation>_level_1_</translation>
    </message>
    <message>
        <source>_level_2_</source>
        <translation>_level_2_</translation>
    </message>
    <message>
        <source>_level_3_</source>
        <translation>_level_3_</translation>
    </message>
    <message>
        <source>Bonjour _user_, il vous reste</source>
        <translation>Hello _user_, you have</translation>
    </message>
    <message>
        <source>_credits_</source>
        <translation>_credits_</translation>
    </message>
    <message>
        <source> Déconnexion</source>
        <translation> Sign out</translation>
    </message>
    <message>
        <source>BIBLIOTHÈQUE</source>
        <translation>LIBRARY</translation>
    </message>
    <message>
        <source> Toutes mes vidéos</source>
        <translation> All my videos</translation>
    </message>
    <message>
        <source> À télécharger</source>
        <translation> To download</translation>
    </message>
    <message>
        <source>EN BOUTIQUE</source>
        <translation>IN THE SHOP</translation>
    </message>
    <message>
        <source> Accueil</source>
        <translation> Home</translation>
    </message>
    <message>
        <source> Nouveautés</source>
        <translation> New releases</translation>
    </message>
    <message>
        <source>  Actuellement en Promo</source>
        <translation>  Current offers</translation>
    </message>
    <message>
        <source> Top du mois</source>
        <translation> Top of the month</translation>
    </message>
    <message>
        <source> Vos favoris</source>
        <translation> Your favourites</translation>
    </message>
    <message>
        <source>VOTRE COMPTE</source>
        <translation>YOUR ACCOUNT</translation>
    </message>
    <message>
        <source> Acheter des crédits</source>
        <translation> Buy credits</translation>
    </message>
    <message>
        <source> Configuration du player</source>
        <translation> Player settings</translation>
    </message>
    <message>
        <source> Aide &amp;&amp; Contact</source>
        <translation> Help &amp;&amp; Contact</translation>
    </message>
    <message>
        <source>RÉSEAUX SOCIAUX</source>
        <translation>SOCIAL MEDIA</translation>
    </message>
    <message>
        <source> Facebook</source>
        <translation> Facebook</translation>
    </message>
    <message>
        <source> Twitter</source>
        <translation> Twitter</translation>
    </message>
    <message>
        <source>0:00</source>
        <translation>0:00</translation>
    </message>
    <message>
        <source>Hors-ligne</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>En ligne</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>Bonjour %0, il vous reste</source>
        <translation>Hello %0, you have</translation>
    </message>
    <message>
        <source>%0 crédit</source>
        <translation>%0 credit</translation>
    </message>
    <message>
        <source>%0 crédits</source>
        <translation>%0 credits</translation>
    </message>
</context>
<context>
    <name>KvoMessageBox</name>
    <message>
        <source>Une instance du Vistrelle est déjà lancée !</source>
        <translation>An instance of Vistrelle is already running!</translation>
    </message>
    <message>
        <source>Fermez l&apos;instance et relancez cette application.
Si le problème persiste, veuillez prendre contact avec le support.</source>
        <translation>Close that instance and start this application again.
If the problem persists, please contact support.</translation>
    </message>
</context>
<context>
    <name>KvoNotificationBox</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Titre</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation>TextLabel</translation>
    </message>
</context>
<context>
    <name>KvoPageDetailSoftware</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>_software_</source>
        <translation>_software_</translation>
    </message>
    <message>
        <source>_count_</source>
        <translation>_count_</translation>
    </message>
    <message>
        <source> S&apos;abonner</source>
        <translation> Subscribe</translation>
    </message>
    <message>
        <source> Visiter</source>
        <translation> Visit</translation>
    </message>
    <message>
        <source>Tris et Filtres</source>
        <translation>Sort and filter</translation>
    </message>
    <message>
        <source>Les + récents</source>
        <translation>Newest first</translation>
    </message>
    <message>
        <source>Par titre</source>
        <translation>By title</translation>
    </message>
    <message>
        <source>Type de vorn</source>
        <translation>Vorn type</translation>
    </message>
    <message>
        <source>Progression</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Titre de la formation</source>
        <translation>Course title</translation>
    </message>
    <message>
        <source>Durée</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>Fichiers support</source>
        <translation>Course files</translation>
    </message>
    <message>
        <source>Lecture</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Suppression</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>S&apos;il vous manque un achat dans cette liste</source>
        <translation>If a purchase is missing from this list</translation>
    </message>
    <message>
        <source>Contactez le support</source>
        <translation>Contact support</translation>
    </message>
    <message>
        <source>%0 vidéo</source>
        <translation>%0 video</translation>
    </message>
    <message>
        <source>%0 vidéos</source>
        <translation>%0 videos</translation>
    </message>
    <message>
        <source>Les - récents</source>
        <translation>Oldest first</translation>
    </message>
    <message>
        <source>Par date</source>
        <translation>By date</translation>
    </message>
    <message>
        <source>À l&apos;unité</source>
        <translation>Single videos</translation>
    </message>
    <message>
        <source>Formations</source>
        <translation>Courses</translation>
    </message>
    <message>
        <source>Titres Z à A</source>
        <translation>Titles Z to A</translation>
    </message>
    <message>
        <source>Titres A à Z</source>
        <translation>Titles A to Z</translation>
    </message>
    <message>
        <source>Terminés</source>
        <translation>Finished</translation>
    </message>
    <message>
        <source>Commencés</source>
        <translation>Started</translation>
    </message>
    <message>
        <source>Jamais vus</source>
        <translation>Never watched</translation>
    </message>
    <message>
        <source>Souhaitez-vous vraiment supprimer cette formation de votre bibliothèque ?</source>
        <translation>Do you really want to remove this course from your library?</translation>
    </message>
    <message>
        <source>Ouvrir une vidéo</source>
        <translation>Open a video</translation>
    </message>
    <message>
        <source>Vidéo Qozmira</source>
        <translation>Qozmira video</translation>
    </message>
    <message>
        <source> Désabonner</source>
        <translation> Unsubscribe</translation>
    </message>
</context>
<context>
    <name>KvoPageDownloads</name>
    <message>
        <source>Tout télécharger</source>
        <translation>Download all</translation>
    </message>
    <message>
        <source>Actualiser</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Dernière actualisation :</source>
        <translation>Last refreshed:</translation>
    </message>
    <message>
        <source>chargement en cours...</source>
        <translation>loading...</translation>
    </message>
    <message>
        <source>Trier par :</source>
        <translation>Sort by:</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Logiciel</source>
        <translation>Software</translation>
    </message>
    <message>
        <source>Vous n&apos;avez aucune formation à télécharger actuellement</source>
        <translation>You have no courses to download at the moment</translation>
    </message>
    <message>
        <source>S&apos;il vous manque un achat dans cette liste</source>
        <translation>If a purchase is missing from this list</translation>
    </message>
    <message>
        <source>Actualisez</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>ou</source>
        <translation>or</translation>
    </message>
    <message>
        <source>Contactez le support</source>
        <translation>Contact support</translation>
    </message>
    <message>
        <source>A télécharger</source>
        <translation>To download</translation>
    </message>
    <message>
        <source>Erreur de téléchargement</source>
        <translation>Download error</translation>
    </message>
    <message>
        <source>La vidéo, que vous tentez de télécharger, ne se trouve actuellement pas dans votre liste de téléchargement.</source>
        <translation>The video you are trying to download is not in your download list at the moment.</translation>
    </message>
    <message>
        <source>jamais</source>
        <translation>never</translation>
    </message>
    <message>
        <source>il y a 1 heure</source>
        <translation>1 hour ago</translation>
    </message>
    <message>
        <source>il y a 1 minute</source>
        <translation>1 minute ago</translation>
    </message>
    <message>
        <source>il y a 30 secondes</source>
        <translation>30 seconds ago</translation>
    </message>
    <message>
        <source>il y a 15 secondes</source>
        <translation>15 seconds ago</translation>
    </message>
    <message>
        <source>à l&apos;instant</source>
        <translation>just now</translation>
    </message>
    <message>
        <source>en cours</source>
        <translation>in progress</translation>
    </message>
    <message>
        <source>Erreur - session expirée</source>
        <translation>Error - session expired</translation>
    </message>
    <message>
        <source>hier à %1</source>
        <translation>yesterday at %1</translation>
    </message>
    <message>
        <source>il y a %1 heures</source>
        <translation>%1 hours ago</translation>
    </message>
    <message>
        <source>il y a %1 minutes</source>
        <translation>%1 minutes ago</translation>
    </message>
</context>
<context>
    <name>KvoPageSoftwares</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Toutes mes vidéos</source>
        <translation>All my videos</translation>
    </message>
</context>
<context>
    <name>KvoProgressWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>lu à 100%</source>
        <translation>100% watched</translation>
    </message>
    <message>
        <source>lu à %0%</source>
        <translation>%0% watched</translation>
    </message>
</context>
<context>
    <name>KvoSignIn</name>
    <message>
        <source>Veuillez saisir votre identifiant et votre mot de passe.</source>
        <translation>Please enter your username and your password.</translation>
    </message>
    <message>
        <source>Identifiant ou mot de passe incorrect.</source>
        <translation>Wrong username or password.</translation>
    </message>
    <message>
        <source>Impossible d&apos;enregistrer votre compte sur cet ordinateur. Vérifiez l&apos;espace disque disponible puis réessayez.</source>
        <translation>Your account could not be saved on this computer. Check the free disk space and try again.</translation>
    </message>
    <message>
        <source>Le service est injoignable et ces identifiants ne sont pas connus sur cet ordinateur. Vérifiez votre connexion à Internet : la connexion hors ligne n&apos;est possible qu&apos;avec un compte déjà utilisé sur cet ordinateur.</source>
        <translation>The service cannot be reached and these credentials are not known on this computer. Check your Internet connection: signing in offline only works with an account already used on this computer.</translation>
    </message>
</context>
<context>
    <name>KvoVideoTitle</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
</context>
<context>
    <name>UIConnection</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>HORS CONNEXION</source>
        <translation>OFFLINE</translation>
    </message>
    <message>
        <source>Veuillez vous connecter à Internet pour continuer</source>
        <translation>Please connect to the Internet to continue</translation>
    </message>
</context>
<context>
    <name>UIDeleteVideoDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Souhaitez-vous vraiment supprimer cette formation de votre bibliothèque ?</source>
        <translation>Do you really want to remove this course from your library?</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Retirer de ma bibliothèque</source>
        <translation>Remove from my library</translation>
    </message>
    <message>
        <source>Supprimer de mon ordinateur</source>
        <translation>Delete from my computer</translation>
    </message>
</context>
<context>
    <name>UIErrorParcourirVideoDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>ERREUR DE SÉLECTION</source>
        <translation>SELECTION ERROR</translation>
    </message>
    <message>
        <source>La vidéo sélectionnée ne correspond pas avec celle que vous essayez de remplacer.</source>
        <translation>The selected video does not match the one you are trying to replace.</translation>
    </message>
</context>
<context>
    <name>UIErrorPlayVideoDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>ERREUR DE LECTURE</source>
        <translation>PLAYBACK ERROR</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Arial&apos;; font-size:12px; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;Vous ne disposez pas des droits nécessaires pour lire cette formation ou&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;elle est corrompue et n&apos;existe plus sur votre ordinateur.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Arial&apos;; font-size:12px; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;You do not have the rights needed to play this course, or&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;it is corrupted and no longer on your computer.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
</context>
<context>
    <name>UISessionDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>SESSION EXPIRÉE</source>
        <translation>SESSION EXPIRED</translation>
    </message>
    <message>
        <source>Connexion au player interrompue car votre compte est utilisé depuis un autre poste.</source>
        <translation>Player connection interrupted because your account is in use on another computer.</translation>
    </message>
</context>
</TS>
